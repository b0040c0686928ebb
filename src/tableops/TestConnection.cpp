#include "tableops/TestConnection.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"

#include <optional>

namespace tableops {

bool testConnection(const sides::ConnectionProfile &profile, const QString &location, platform::Dialogs &dialogs,
                    platform::EventYield &yield, app::PointerControl &pointer)
{
    app::Guard guard(dialogs, location);
    std::optional<platform::Connection> connection;
    guard(100, [&] { connection.emplace(); });

    bool connected = false;
    try {
        pointer.set(app::pointer::Busy);
        yield.yield();
        if (!connection)
            throw std::runtime_error("no connection object");
        connection->setEventYield(&yield);
        connection->open(sides::connectionString(profile).toStdString());
        connected = true;
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (const std::exception &) {
        // The driver's own text is not shown: one fixed message covers every way a login fails.
    }
    dialogs.message(connected ? ConnectionSuccessful : CouldNotConnect);
    pointer.set(app::pointer::Default);
    return connected;
}

} // namespace tableops
