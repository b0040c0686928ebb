#pragma once

#include "tableops/DeleteTables.h"

namespace tableops {

inline const QString PleaseSelectJustOne = QStringLiteral("Please select just one table to rename");

// Asks for a new name for the one selected table and renames it. The list changes only
// when the server did the rename.
void renameTable(const TableSide &side, platform::Dialogs &dialogs, app::PointerControl &pointer);

} // namespace tableops
