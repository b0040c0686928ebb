#include "tableops/DeleteTables.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"

namespace tableops {

void deleteTables(const TableSide &side, bool withSemicolon, platform::Dialogs &dialogs, app::PointerControl &pointer)
{
    app::Guard g(dialogs, side.location);
    sides::TableList &list = side.list;
    if (g.when(102, [&] { return list.currentIndex() == -1; })) {
        g(104, [&] { dialogs.message(PleaseSelectATable); });
        return;
    }
    app::BusyPointerScope busy(pointer);
    for (int i = list.count() - 1; i >= 0; --i) {
        if (!g.when(112, [&] { return list.isSelected(i); }))
            continue;
        const QString table = list.text(i);
        platform::Connection connection;
        connection.setEventYield(side.yield);
        if (!g.attempt(116, [&] { connection.open(sides::connectionString(side.profile()).toStdString()); }))
            continue;
        const bool dropped = g.attempt(118, [&] {
            connection.execute(sides::dropTableStatement(table.toStdString(), withSemicolon));
        });
        g(120, [&] { connection.close(); });
        if (dropped)
            g(122, [&] { list.removeAt(i); });
    }
}

} // namespace tableops
