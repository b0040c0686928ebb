#pragma once

#include "tables/DeleteTables.h"

inline const QString PleaseSelectJustOne = QStringLiteral("Please select just one table to rename");

// "RENAME TABLE `old` TO `new`"
QString renameTableStatement(const QString &oldName, const QString &newName);

// Asks for a new name for the one selected table and renames it. The list changes only
// when the server did the rename.
void renameTable(const TableSide &side, platform::Dialogs &dialogs, PointerControl &pointer);
