#include "transfer/compare/CompareReport.h"

#include "transfer/shared/StatementSink.h"
#include "transfer/shared/TransferRun.h"

namespace transfer {

namespace {

std::string withThousands(long long n)
{
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > (n < 0 ? 1 : 0); at -= 3)
        digits.insert(static_cast<size_t>(at), 1, ',');
    return digits;
}

std::string quotedLine(const std::string &line)
{
    size_t start = line.find_first_not_of(' ');
    return start == std::string::npos ? std::string("nothing") : '"' + line.substr(start) + '"';
}

std::string definitionText(const TableComparison &c)
{
    if (c.definition == TableComparison::Definition::Kinds)
        return "definition differs: #1 \"" + c.definitionOne + "\", #2 \"" + c.definitionTwo + '"';
    return "definition differs: #1 " + quotedLine(c.definitionOne) + ", #2 " + quotedLine(c.definitionTwo);
}

std::string rowsText(const TableComparison &c, int hereSide, size_t keysShown)
{
    const RowComparison &rows = c.rows;
    const int thereSide = 3 - hereSide;
    const long long onHere = hereSide == 1 ? rows.rowsHere : rows.rowsThere;
    const long long onThere = hereSide == 1 ? rows.rowsThere : rows.rowsHere;
    const std::string counts = onHere == onThere ? withThousands(onHere)
                                              : withThousands(onHere) + " on #1 and " + withThousands(onThere) + " on #2";
    if (rows.same)
        return (c.definition != TableComparison::Definition::Same ? "rows same (" : "same (") + counts
               + (onHere == 1 ? " row)" : " rows)");
    if (!c.keyed)
        return "rows differ: " + counts + " rows, and their digests differ (no key to tell which rows)";
    std::string text = "rows differ: "
                       + (rows.more ? "more than " + std::to_string(rows.rows.size()) : std::to_string(rows.rows.size()))
                       + " of " + counts + (rows.more ? " (the first keys " : " (keys ");
    const std::string here = "only on #" + std::to_string(hereSide);
    const std::string there = "only on #" + std::to_string(thereSide);
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        if (i == keysShown) {
            text += ", …";
            break;
        }
        const DifferingRow &r = rows.rows[i];
        text += (i > 0 ? ", " : "") + r.key + ' '
                + (r.kind == DifferingRow::Kind::OnlyHere   ? here
                   : r.kind == DifferingRow::Kind::OnlyThere ? there
                                                             : std::string("differs"));
    }
    return text + ')';
}

} // namespace

std::string comparisonLine(const TableComparison &c, int hereSide, size_t keysShown)
{
    const std::string table = c.table.toStdString();
    switch (c.result) {
    case TableComparison::Result::Missing:
        return "-- " + table + ": missing on #" + std::to_string(3 - hereSide);
    case TableComparison::Result::NotCompared:
        return runtimeErrorText(c.errorNumber, c.table + QStringLiteral(": ") + QString::fromStdString(c.error))
            .toStdString();
    case TableComparison::Result::Same:
    case TableComparison::Result::Differs:
        break;
    }
    std::string line = "-- " + table + ": ";
    if (c.definition != TableComparison::Definition::Same)
        line += definitionText(c) + "; ";
    line += rowsText(c, hereSide, keysShown);
    if (c.someColumnsOnOneSide)
        line += " (on the " + std::to_string(c.columnsCompared) + " columns both have)";
    return line;
}

QString compareSummary(const std::vector<TableComparison> &tables, int otherSide)
{
    QStringList same;
    QStringList differ;
    QStringList missing;
    QStringList failed;
    for (const TableComparison &c : tables) {
        switch (c.result) {
        case TableComparison::Result::Same:
            same << c.table;
            break;
        case TableComparison::Result::Differs:
            differ << c.table;
            break;
        case TableComparison::Result::Missing:
            missing << c.table;
            break;
        case TableComparison::Result::NotCompared:
            failed << tableWithReason(c.table, c.errorNumber, QString::fromStdString(c.error));
            break;
        }
    }
    return compareSummary(same, differ, missing, otherSide, failed);
}

QString compareSummary(const QStringList &same, const QStringList &differ, const QStringList &missing,
                       int otherSide, const QStringList &failed)
{
    const auto names = [](const QStringList &list) {
        return list.isEmpty() ? QStringLiteral("none") : list.join(QStringLiteral(", "));
    };
    QString text = QStringLiteral("Same: ") + names(same) + QStringLiteral(".\r\rDiffer: ") + names(differ)
                   + QStringLiteral(".\r\rMissing on #") + QString::number(otherSide) + QStringLiteral(": ")
                   + names(missing) + u'.';
    if (!failed.isEmpty())
        text += QStringLiteral("\r\rNot compared: ") + failed.join(QStringLiteral("; ")) + u'.';
    return text;
}

} // namespace transfer
