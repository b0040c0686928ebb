#pragma once

#include "connect/ConnectionProfile.h"

#include <QString>

#include <functional>

class PointerControl;
class TableList;
namespace platform {
class Dialogs;
}

inline const QString PleaseSelectATable = QStringLiteral("Please select a table");

// What differs between the two sides of the table manager for a drop or a rename.
struct TableSide {
    TableList &list;
    std::function<ConnectionProfile()> profile; // read afresh for every connection
    QString location;                           // of the side's error report
};

// "DROP TABLE `t`", with a closing semicolon on side #2.
QString dropTableStatement(const QString &table, bool withSemicolon);

// Drops the selected tables of the side, bottom of the list first, each on a connection of its own.
// An entry leaves the list only when its table was dropped.
void deleteTables(const TableSide &side, bool withSemicolon, platform::Dialogs &dialogs, PointerControl &pointer);
