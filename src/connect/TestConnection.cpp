#include "connect/TestConnection.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "platform/EventYield.h"

#include <optional>

bool testConnection(const ConnectionProfile &profile, const QString &location, platform::Dialogs &dialogs,
                    platform::EventYield &yield, PointerControl &pointer)
{
    Guard guard(dialogs, location);
    std::optional<db::Connection> connection;
    guard(100, [&] { connection.emplace(); });

    bool connected = false;
    try {
        pointer.set(pointer::Busy);
        yield.yield();
        if (!connection)
            throw std::runtime_error("no connection object");
        connection->open(connectionString(profile).toStdString());
        connected = true;
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (const std::exception &) {
        // The driver's own text is not shown: one fixed message covers every way a login fails.
    }
    dialogs.message(connected ? ConnectionSuccessful : CouldNotConnect);
    pointer.set(pointer::Default);
    return connected;
}
