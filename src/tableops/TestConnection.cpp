#include "tableops/TestConnection.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"
#include "sides/SideTunnel.h"

#include <optional>

namespace tableops {

bool testConnection(const sides::ConnectionProfile &profile, const QString &location, platform::Dialogs &dialogs,
                    platform::EventYield &yield, app::PointerControl &pointer)
{
    app::Guard guard(dialogs, location);
    std::optional<platform::Connection> connection;
    guard(100, [&] { connection.emplace(); });

    bool connected = false;
    QString why;
    try {
        pointer.set(app::pointer::Busy);
        yield.yield();
        if (!connection)
            throw std::runtime_error("no connection object");
        connection->setEventYield(&yield);
        sides::openConnection(*connection, profile);
        connected = true;
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (const platform::DbError &e) {
        // The driver's own text is not shown: one fixed message covers every way a login fails,
        // but for the connection security the user chose and the SSH tunnel, which only the
        // reason helps to mend.
        if (e.isSecurityRefusal() || dynamic_cast<const sides::TunnelFailure *>(&e))
            why = QStringLiteral("\r\n\r\n") + QString::fromUtf8(e.what());
    } catch (const std::exception &) {
    }
    dialogs.message(connected ? ConnectionSuccessful : CouldNotConnect + why);
    pointer.set(app::pointer::Default);
    return connected;
}

} // namespace tableops
