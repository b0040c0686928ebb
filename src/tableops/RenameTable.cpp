#include "tableops/RenameTable.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"

#include <optional>

namespace tableops {

void renameTable(const TableSide &side, platform::Dialogs &dialogs, app::PointerControl &pointer)
{
    app::Guard g(dialogs, side.location);
    sides::TableList &list = side.list;
    platform::Connection connection;
    if (!startTableChange(g, side, connection, dialogs))
        return;
    QString oldName;
    int oldIndex = -1;
    int selectedCount = 0;
    for (int i = 0; i < list.count(); ++i) {
        if (g.when(104, [&] { return list.isSelected(i); })) {
            oldName = list.text(i);
            oldIndex = i;
            ++selectedCount;
        }
    }
    if (g.when(106, [&] { return selectedCount != 1; })) {
        g(106, [&] { dialogs.message(PleaseSelectJustOne); });
        return;
    }
    QString newName;
    g(108, [&] { newName = dialogs.input(QStringLiteral("Enter new name of ") + oldName + u':', oldName); });
    if (g.when(110, [&] { return newName.isEmpty(); }))
        return;

    std::optional<app::BusyPointerScope> busy;
    g(112, [&] { busy.emplace(pointer); });
    std::string statement;
    g(114, [&] { statement = sides::renameTableStatement(oldName.toStdString(), newName.toStdString()); });
    // The list changes only when the server has renamed the table.
    if (!g.attempt(116, [&] { sides::openConnection(connection, side.profile()); }))
        return;
    const bool renamed = g.attempt(118, [&] { connection.execute(statement); });
    g(120, [&] { connection.close(); });
    if (!renamed)
        return;
    g(122, [&] { list.removeAt(oldIndex); });
    g(124, [&] { list.append(newName); });
    g(126, [&] { busy.reset(); }); // an early return resets it too
}

} // namespace tableops
