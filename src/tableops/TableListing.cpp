#include "tableops/TableListing.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/EventYield.h"
#include "platform/ProgramEnding.h"
#include "sides/TableList.h"

namespace tableops {

void addTablesToMySQLList(sides::TableList &list, const sides::ConnectionProfile &profile, platform::Dialogs &dialogs,
                          platform::EventYield &yield)
{
    app::Guard g(dialogs, app::ErrorReport::location(QStringLiteral("MySQL"), QStringLiteral("AddTablesToMySQLList")));
    platform::Connection connection;
    platform::RecordSet tables;
    long long n = 0;

    g(100, [&] { connection.setEventYield(&yield); });
    g(102, [&] { connection.setCursorLocation(platform::Connection::ClientCursor); });
    // Steps that need the connection or its result are skipped when it is missing: one failure, one report.
    const bool opened = g.attempt(104, [&] { sides::openConnection(connection, profile); });
    if (opened)
        g(106, [&] { tables = connection.execute("SHOW TABLES;"); });
    // Cleared only now, so the old names stay in view while the server answers.
    g(108, [&] { list.clear(); });
    if (tables.isOpen())
        g(110, [&] { n = tables.recordCount(); });
    // One step line: the yield, the name and the move share its number.
    for (long long i = 1; i <= n; ++i) {
        g(112, [&] { yield.yield(); });
        const bool added = g.attempt(112, [&] {
            const platform::FieldValue name = tables.value(0);
            list.append(QString::fromUtf8(name.bytes.data(), static_cast<qsizetype>(name.bytes.size())));
        });
        if (!g.attempt(112, [&] { tables.moveNext(); }) || !added)
            break;
    }
    if (tables.isOpen())
        g(114, [&] { tables.close(); });
    if (opened)
        g(114, [&] { connection.close(); });
    if (g.when(116, [&] { return list.count() > 0; }))
        g(116, [&] { list.setCurrentIndex(0); });
}

bool canConnectToMySQL(const sides::ConnectionProfile &profile, platform::EventYield *yield)
{
    platform::Connection connection;
    connection.setEventYield(yield);
    try {
        sides::openConnection(connection, profile);
        return true;
    } catch (const platform::ProgramEnding &) {
        throw;
    } catch (const std::exception &) {
        // A probe only answers yes or no; "Test Connection" is where the user learns why.
        return false;
    }
}

} // namespace tableops
