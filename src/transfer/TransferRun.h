#pragma once

#include "connect/ConnectionProfile.h"

#include <QString>
#include <QStringList>

class DebugLog;
class PointerControl;
class ProgressIndicator;
class TableList;
namespace platform {
class Dialogs;
class EventYield;
}

inline const QString PleaseSelectATableDot = QStringLiteral("Please select a table.");

// One direction of a copy: the selected tables of source go to destination.
struct TransferEnds {
    TableList &source;
    TableList &destination;
    ConnectionProfile sourceProfile;
    ConnectionProfile destinationProfile;
    QString location; // of the button's error report
};

struct TransferUi {
    platform::Dialogs &dialogs;
    platform::EventYield &yield;
    PointerControl &pointer;
    ProgressIndicator &progress;
    DebugLog &log;
};

// True when an entry of the list has the name, letter case ignored.
bool listHasTable(const TableList &list, const QString &name);
// Removes every entry spelled exactly like the name.
void removeListTable(TableList &list, const QString &name);

QString sameDatabaseMessage(const QStringList &tables);

// Copies each selected table, last list entry first: its columns, then every row, asking before
// it replaces a table of the same name.
void runTransfer(const TransferEnds &ends, const TransferUi &ui);
