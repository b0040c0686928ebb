#include "tableops/RenameTable.h"

#include "app/Guard.h"
#include "app/Pointer.h"
#include "platform/DbConnection.h"
#include "platform/Dialogs.h"
#include "sides/TableList.h"
#include "sides/TableStatements.h"

namespace tableops {

void renameTable(const TableSide &side, platform::Dialogs &dialogs, app::PointerControl &pointer)
{
    app::Guard g(dialogs, side.location);
    sides::TableList &list = side.list;
    if (g.when(102, [&] { return list.currentIndex() == -1; })) {
        g(104, [&] { dialogs.message(PleaseSelectATable); });
        return;
    }
    QString oldName;
    int oldIndex = -1;
    int selectedCount = 0;
    for (int i = 0; i < list.count(); ++i) {
        if (g.when(110, [&] { return list.isSelected(i); })) {
            oldName = list.text(i);
            oldIndex = i;
            ++selectedCount;
        }
    }
    if (selectedCount != 1) {
        g(120, [&] { dialogs.message(PleaseSelectJustOne); });
        return;
    }
    QString newName;
    g(126, [&] { newName = dialogs.input(QStringLiteral("Enter new name of ") + oldName + u':', oldName); });
    if (newName.isEmpty())
        return;

    app::BusyPointerScope busy(pointer);
    const std::string statement = sides::renameTableStatement(oldName.toStdString(), newName.toStdString());
    platform::Connection connection;
    connection.setEventYield(side.yield);
    if (!g.attempt(136, [&] { connection.open(sides::connectionString(side.profile()).toStdString()); }))
        return;
    const bool renamed = g.attempt(138, [&] { connection.execute(statement); });
    g(140, [&] { connection.close(); });
    if (!renamed)
        return;
    g(142, [&] { list.removeAt(oldIndex); });
    g(144, [&] { list.append(newName); });
}

} // namespace tableops
