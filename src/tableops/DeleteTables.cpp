#include "tableops/DeleteTables.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"

#include <optional>

namespace tableops {

bool startTableChange(app::Guard &g, const TableSide &side, platform::Connection &connection,
                      platform::Dialogs &dialogs)
{
    g(100, [&] { connection.setEventYield(side.yield); });
    if (g.when(102, [&] { return side.list.currentIndex() == -1; })) {
        g(102, [&] { dialogs.message(PleaseSelectATable); });
        return false;
    }
    return true;
}

void deleteTables(const TableSide &side, bool withSemicolon, platform::Dialogs &dialogs, app::PointerControl &pointer)
{
    app::Guard g(dialogs, side.location);
    sides::TableList &list = side.list;
    platform::Connection connection;
    if (!startTableChange(g, side, connection, dialogs))
        return;
    std::optional<app::BusyPointerScope> busy;
    g(104, [&] { busy.emplace(pointer); });
    for (int i = list.count() - 1; i >= 0; --i) {
        if (!g.when(106, [&] { return list.isSelected(i); }))
            continue;
        const QString table = list.text(i);
        // An entry leaves the list only when its table has gone: a failed open or DROP keeps it.
        if (!g.attempt(108, [&] { sides::openConnection(connection, side.profile()); }))
            continue;
        const bool dropped = g.attempt(110, [&] {
            connection.execute(sides::dropTableStatement(table.toStdString(), withSemicolon));
        });
        g(112, [&] { connection.close(); });
        if (dropped)
            g(112, [&] { list.removeAt(i); });
    }
    g(114, [&] { busy.reset(); }); // a throw resets it too
}

} // namespace tableops
