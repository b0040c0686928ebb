#pragma once

#include "transfer/compare/TableMatch.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace transfer {

// The words of "Make MySQL #n Match"; targetSide is the side changed, the other the one matched.
std::string matchPlanLine(const TableMatch &t, int targetSide);
bool anythingToChange(const std::vector<TableMatch> &tables);
// The box before anything is changed, and its buttons in MatchChoice's order.
QString matchPlanBox(const std::vector<TableMatch> &tables, int targetSide);
QStringList matchButtons(int targetSide);
QString scriptCaption();
// The script's first lines (each made a comment).
std::string scriptHeading(const QString &database, int targetSide);
std::string nothingChangedLine(int targetSide);
std::string scriptSavedLine(const QString &path);
QString scriptSavedBox(const QString &path, const QString &database, int targetSide);
QString scriptNotSavedBox(const QString &path, const QString &reason);
// After the change: a table's line, and the box that ends the run.
std::string matchDoneLine(const TableMatch &t, int targetSide);
QString matchSummary(const std::vector<TableMatch> &tables, int targetSide);

} // namespace transfer
