#include "transfer/compare/MatchReport.h"

#include "transfer/compare/CompareReport.h"
#include "transfer/shared/TransferRun.h"

namespace transfer {

namespace {

std::string side(int n) { return "#" + std::to_string(n); }

std::string rows(long long n, const char *what)
{
    return std::to_string(n) + (n == 1 ? " row " : " rows ") + what;
}

std::string joined(const std::vector<std::string> &items, size_t most = 10)
{
    std::string s;
    for (size_t i = 0; i < items.size() && i < most; ++i)
        s += (i > 0 ? ", " : "") + items[i];
    if (items.size() > most)
        s += " and " + std::to_string(items.size() - most) + " more";
    return s;
}

// The compare's own words for a table, without its log line's lead.
std::string comparedText(const TableComparison &c, int hereSide, size_t keysShown = 3)
{
    std::string line = comparisonLine(c, hereSide, keysShown);
    return line.rfind("-- ", 0) == 0 ? line.substr(3) : line;
}

const char *CompleteCopyOffer = "; Send Complete Table(s) makes it the same";

} // namespace

std::string matchPlanLine(const TableMatch &t, int targetSide)
{
    const std::string table = t.table.toStdString();
    const int sourceSide = 3 - targetSide;
    switch (t.plan) {
    case TableMatch::Plan::Same:
        return comparedText(t.compared, sourceSide);
    case TableMatch::Plan::Missing:
        return table + ": missing on " + side(targetSide) + ", so no rows to change; Send Complete Table(s) copies it";
    case TableMatch::Plan::Definition:
        return comparedText(t.compared, sourceSide) + "; left alone" + CompleteCopyOffer;
    case TableMatch::Plan::NoKey:
        return table + ": "
               + (t.why.empty() ? std::string("no primary key or unique key of NOT NULL columns to find a row by")
                                : t.why)
               + ", left alone" + CompleteCopyOffer;
    case TableMatch::Plan::NotCompared:
        return tableWithReason(t.table, t.errorNumber, QString::fromStdString(t.error)).toStdString()
               + ": not compared";
    case TableMatch::Plan::Change:
        break;
    }
    std::string line = table + ": " + rows(t.toAdd, "to add") + ", " + std::to_string(t.toChange) + " to change, "
                       + std::to_string(t.toRemove) + " to remove on " + side(targetSide);
    if (t.more) {
        const std::string window = std::to_string(t.toAdd + t.toChange + t.toRemove);
        line = table + ": more than " + window + " rows differ; in the first " + window + ": "
               + line.substr(table.size() + 2) + "; the rest are found and changed after them, " + window
               + " at a time";
    }
    if (!t.triggers.empty())
        line += "; its triggers on " + side(targetSide) + " (" + joined(t.triggers) + ") run for each change";
    return line;
}

bool anythingToChange(const std::vector<TableMatch> &tables)
{
    for (const TableMatch &t : tables)
        if (t.plan == TableMatch::Plan::Change)
            return true;
    return false;
}

QString matchPlanBox(const std::vector<TableMatch> &tables, int targetSide)
{
    QString text = QStringLiteral("To make MySQL #%1 match MySQL #%2:\r").arg(targetSide).arg(3 - targetSide);
    for (const TableMatch &t : tables)
        text += u'\r' + QString::fromStdString(matchPlanLine(t, targetSide));
    text += anythingToChange(tables) ? QStringLiteral("\r\rNothing has been changed yet.")
                                     : QStringLiteral("\r\rThere is nothing to change.");
    return text;
}

QStringList matchButtons(int targetSide)
{
    return {QStringLiteral("Change MySQL #%1").arg(targetSide), QStringLiteral("Save Statements..."),
            QStringLiteral("Cancel")};
}

QString scriptCaption() { return QStringLiteral("Save the statements as a script"); }

std::string scriptHeading(const QString &database, int targetSide)
{
    return "Made by Tabulink: the changes that make " + database.toStdString() + " on MySQL #"
           + std::to_string(targetSide) + " match MySQL #" + std::to_string(3 - targetSide)
           + ".\nRun with: mariadb --binary-mode <database> < file";
}

std::string nothingChangedLine(int targetSide) { return "-- nothing changed on " + side(targetSide); }

std::string scriptSavedLine(const QString &path)
{
    return "-- statements saved to " + path.toStdString() + "; nothing changed";
}

QString scriptSavedBox(const QString &path, const QString &database, int targetSide)
{
    return QStringLiteral("The statements are saved to %1. Nothing on MySQL #%2 has been changed.\r\r"
                          "To run them: mariadb --binary-mode %3 < %1")
        .arg(path)
        .arg(targetSide)
        .arg(database);
}

QString scriptNotSavedBox(const QString &path, const QString &reason)
{
    return QStringLiteral("The statements could not be saved to %1: %2\r\rNothing has been changed.").arg(path, reason);
}

std::string matchDoneLine(const TableMatch &t, int targetSide)
{
    const std::string table = t.table.toStdString();
    const RowsMatched &m = t.matched;
    const std::string did = std::to_string(m.added) + " added, " + std::to_string(m.changed) + " changed, "
                            + std::to_string(m.removed) + " removed on " + side(targetSide);
    std::string line;
    switch (t.done) {
    case TableMatch::Done::NotStarted:
        return {};
    case TableMatch::Done::NotReached:
        return table + ": not changed (the change stopped before it)";
    case TableMatch::Done::Removed:
        line = table + ": " + did + "; its changes and additions not made (the change stopped before them)";
        break;
    case TableMatch::Done::Failed:
        line = table + ": stopped, " + side(targetSide) + " refused a change ("
               + (t.errorNumber != 0 ? std::to_string(t.errorNumber) + ' ' : std::string()) + t.error + "); that transaction was undone; kept from the ones before it: " + did;
        break;
    case TableMatch::Done::Changed:
        line = table + ": " + did;
        break;
    }
    if (!m.leftAlone.empty())
        line += "; left alone, as " + side(targetSide) + " changed them after the compare: " + joined(m.leftAlone);
    return line;
}

QString matchSummary(const std::vector<TableMatch> &tables, int targetSide)
{
    QString text = QStringLiteral("MySQL #%1 changed to match MySQL #%2:\r").arg(targetSide).arg(3 - targetSide);
    QString after;
    for (const TableMatch &t : tables) {
        const std::string line = matchDoneLine(t, targetSide);
        if (!line.empty())
            text += u'\r' + QString::fromStdString(line);
        if (t.after)
            after += u'\r' + QString::fromStdString(comparedText(*t.after, 3 - targetSide));
    }
    if (!after.isEmpty())
        text += QStringLiteral("\r\rCompared again:\r") + after;
    return text;
}

} // namespace transfer
