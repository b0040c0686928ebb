#pragma once

#include "transfer/compare/TableComparison.h"
#include "transfer/compare/TableMatch.h"
#include "transfer/copy/CopiedTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace cli {

// One table's outcome as the command line says it: a line of text, or a JSON object.
struct TableLine {
    enum class Outcome { Done, Same, Differs, Failed };
    QString table;
    Outcome outcome = Outcome::Done;
    QString word;              // copied, same, differs, missing, not compared, changed, …
    long long rows = -1;       // of the source table, where a compare counted them
    QStringList keysDiffering; // as Compare shows them
    QString message;           // the line, as the log pane's summary says it
};

std::vector<TableLine> copyLines(const std::vector<transfer::CopiedTable> &tables);
std::vector<TableLine> copyLines(const transfer::CompleteCopyOutcome &outcome);
std::vector<TableLine> compareLines(const std::vector<transfer::TableComparison> &tables, int fromSide);
std::vector<TableLine> matchLines(const std::vector<transfer::TableMatch> &tables, int fromSide);

// A table the run was given that the source does not have, and one it said nothing of.
TableLine absentTableLine(const QString &table, int fromSide, const QString &database);
TableLine untoldLine(const QString &table);

// What goes to standard error.
QString loginFailedText(int side, const QString &address, int number, const QString &text);
QString noTablesText(int fromSide, const QString &database);
QString interruptedText();
QString usageHintText();
QString overwriteAnswerText(bool replace);

QByteArray textLine(const TableLine &line);
QByteArray jsonLine(const TableLine &line);

// 0 done or all the same, 1 differences left, 2 a table failed; a run that reached none of the
// tables it was given failed too.
int exitCodeOf(const std::vector<TableLine> &lines, qsizetype tablesAsked);

} // namespace cli
