#include "tables/DeleteTables.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "platform/SqlQuoting.h"
#include "tables/TableList.h"

QString dropTableStatement(const QString &table, bool withSemicolon)
{
    return QStringLiteral("DROP TABLE ") + sql::backquoted(table) + (withSemicolon ? QStringLiteral(";") : QString());
}

void deleteTables(const TableSide &side, bool withSemicolon, platform::Dialogs &dialogs, PointerControl &pointer)
{
    Guard g(dialogs, side.location);
    TableList &list = side.list;
    if (g.when(102, [&] { return list.currentIndex() == -1; })) {
        g(104, [&] { dialogs.message(PleaseSelectATable); });
        return;
    }
    BusyPointerScope busy(pointer);
    for (int i = list.count() - 1; i >= 0; --i) {
        if (!g.when(112, [&] { return list.isSelected(i); }))
            continue;
        const QString table = list.text(i);
        db::Connection connection;
        if (!g.attempt(116, [&] { connection.open(connectionString(side.profile()).toStdString()); }))
            continue;
        const bool dropped = g.attempt(118, [&] {
            connection.execute(dropTableStatement(table, withSemicolon).toStdString());
        });
        g(120, [&] { connection.close(); });
        if (dropped)
            g(122, [&] { list.removeAt(i); });
    }
}
