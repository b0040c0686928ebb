#pragma once

#include "transfer/copy/CopiedTable.h"

#include <QString>
#include <QStringList>

#include <string>

namespace transfer {

// The words of the complete copy: its log lines and the box at the end of the run.

// "Run-time error: 1146 t: …" as the table fails.
std::string notCopiedLine(const CopiedTable &t);
// "-- t: 1000 rows, 0.1 MB, 0.2 s, verified in 2 key ranges" once the copy is in place.
std::string copiedLine(const std::string &table, const LoadFigures &figures);
// "-- t: collation … used": what the table had to lose to fit the destination.
std::string adaptationLine(const std::string &table, const std::string &change);
std::string viewAsTableLine(const std::string &view);
std::string keyNotAddedLine(int number, const std::string &error);
// The box at the end of a run in which something failed or was changed to fit the destination: a
// foreign key the destination refused leaves its table copied without it ("t: fk_t (the server's
// reason)"); a definition made to fit says what was changed, once for all its tables
// ("t, u: collation a …; b used").
// True when the run has something to tell beyond "every table copied".
bool worthABox(const CompleteCopyOutcome &outcome);
QString completeCopySummary(const CompleteCopyOutcome &outcome);
QString completeCopySummary(const QStringList &copied, const QStringList &failed,
                            const QStringList &keysNotAdded = {}, const QStringList &adapted = {});

} // namespace transfer
