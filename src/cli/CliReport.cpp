#include "cli/CliReport.h"

#include "transfer/compare/CompareReport.h"
#include "transfer/compare/MatchReport.h"
#include "transfer/shared/TransferRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString withoutLead(const std::string &line)
{
    const QString s = QString::fromStdString(line);
    return s.startsWith(QStringLiteral("-- ")) ? s.mid(3) : s;
}

TableLine copied(const transfer::CopiedTable &t)
{
    TableLine l;
    l.table = t.table;
    if (t.result == transfer::CopiedTable::Result::Copied) {
        l.word = QStringLiteral("copied");
        l.message = t.table + QStringLiteral(": copied");
    } else {
        l.outcome = TableLine::Outcome::Failed;
        l.word = QStringLiteral("not copied");
        l.message = t.table + QStringLiteral(": not copied");
        if (!t.error.empty() || t.errorNumber != 0)
            l.message += u' ' + transfer::tableWithReason({}, t.errorNumber, QString::fromStdString(t.error)).trimmed();
    }
    return l;
}

void keysOf(const transfer::RowComparison &rows, TableLine &l)
{
    for (const transfer::DifferingRow &r : rows.rows)
        l.keysDiffering << QString::fromStdString(r.key);
}

} // namespace

std::vector<TableLine> copyLines(const std::vector<transfer::CopiedTable> &tables)
{
    std::vector<TableLine> lines;
    for (const transfer::CopiedTable &t : tables)
        lines.push_back(copied(t));
    return lines;
}

std::vector<TableLine> copyLines(const transfer::CompleteCopyOutcome &outcome)
{
    std::vector<TableLine> lines = copyLines(outcome.tables);
    for (const transfer::KeyNotAdded &k : outcome.keysNotAdded)
        for (TableLine &l : lines)
            if (l.table == QString::fromStdString(k.table))
                l.message += QStringLiteral("; without its foreign key %1 (%2)")
                                 .arg(QString::fromStdString(k.key), QString::fromStdString(k.error));
    return lines;
}

std::vector<TableLine> compareLines(const std::vector<transfer::TableComparison> &tables, int fromSide)
{
    using Result = transfer::TableComparison::Result;
    std::vector<TableLine> lines;
    for (const transfer::TableComparison &c : tables) {
        TableLine l;
        l.table = c.table;
        l.message = withoutLead(transfer::comparisonLine(c, fromSide));
        switch (c.result) {
        case Result::Same:
            l.outcome = TableLine::Outcome::Same;
            l.word = QStringLiteral("same");
            break;
        case Result::Differs:
            l.outcome = TableLine::Outcome::Differs;
            l.word = QStringLiteral("differs");
            break;
        case Result::Missing:
            l.outcome = TableLine::Outcome::Differs;
            l.word = QStringLiteral("missing");
            break;
        case Result::NotCompared:
            l.outcome = TableLine::Outcome::Failed;
            l.word = QStringLiteral("not compared");
            break;
        }
        if (c.result == Result::Same || c.result == Result::Differs)
            l.rows = c.rows.rowsHere;
        keysOf(c.rows, l);
        lines.push_back(l);
    }
    return lines;
}

std::vector<TableLine> matchLines(const std::vector<transfer::TableMatch> &tables, int fromSide)
{
    using Plan = transfer::TableMatch::Plan;
    using Done = transfer::TableMatch::Done;
    const int target = 3 - fromSide;
    std::vector<TableLine> lines;
    for (const transfer::TableMatch &t : tables) {
        TableLine l;
        l.table = t.table;
        l.message = withoutLead(transfer::matchPlanLine(t, target));
        l.rows = t.plan == Plan::Same || t.plan == Plan::Change ? t.compared.rows.rowsHere : -1;
        keysOf(t.compared.rows, l);
        if (t.plan == Plan::Same) {
            l.outcome = TableLine::Outcome::Same;
            l.word = QStringLiteral("same");
        } else if (t.plan == Plan::NotCompared) {
            l.outcome = TableLine::Outcome::Failed;
            l.word = QStringLiteral("not compared");
        } else if (t.plan != Plan::Change) {
            l.outcome = TableLine::Outcome::Differs;
            l.word = QStringLiteral("left alone");
        } else if (t.done == Done::NotStarted) {
            // Planned only: a dry run, or statements saved.
            l.outcome = TableLine::Outcome::Differs;
            l.word = QStringLiteral("differs");
        } else {
            l.message = withoutLead(transfer::matchDoneLine(t, target));
            const bool failed = t.done == Done::Failed || t.done == Done::NotReached || t.done == Done::Removed;
            const bool sameAfter = t.after && t.after->result == transfer::TableComparison::Result::Same;
            if (t.after)
                l.message += QStringLiteral("; now ") + withoutLead(transfer::comparisonLine(*t.after, fromSide, 3))
                                                            .section(QStringLiteral(": "), 1);
            l.outcome = failed ? TableLine::Outcome::Failed
                        : sameAfter ? TableLine::Outcome::Done
                                    : TableLine::Outcome::Differs;
            l.word = failed ? QStringLiteral("not changed") : QStringLiteral("changed");
        }
        lines.push_back(l);
    }
    return lines;
}

TableLine absentTableLine(const QString &table, int fromSide, const QString &database)
{
    return {table, TableLine::Outcome::Failed, QStringLiteral("not found"), -1, {},
            QStringLiteral("%1: MySQL #%2's database %3 has no such table").arg(table).arg(fromSide).arg(database)};
}

TableLine untoldLine(const QString &table)
{
    return {table, TableLine::Outcome::Failed, QStringLiteral("not done"), -1, {}, table + QStringLiteral(": left as it was")};
}

QString loginFailedText(int side, const QString &address, int number, const QString &text)
{
    return QStringLiteral("cannot log in to MySQL #%1 (%2): %3 %4").arg(side).arg(address).arg(number).arg(text);
}

QString noTablesText(int fromSide, const QString &database)
{
    return QStringLiteral("MySQL #%1's database %2 has no tables.").arg(fromSide).arg(database);
}

QString interruptedText() { return QStringLiteral("interrupted; the table being worked on is left as it was."); }

QString usageHintText() { return QStringLiteral("tabulink --help says how to use it."); }

QString overwriteAnswerText(bool replace)
{
    return replace ? QStringLiteral("Yes (--replace).") : QStringLiteral("No (without --replace).");
}

QByteArray textLine(const TableLine &line) { return line.message.toUtf8() + '\n'; }

QByteArray jsonLine(const TableLine &line)
{
    QJsonObject o{{QStringLiteral("table"), line.table},
                  {QStringLiteral("outcome"), line.word},
                  {QStringLiteral("message"), line.message}};
    if (line.rows >= 0)
        o.insert(QStringLiteral("rows"), static_cast<double>(line.rows));
    if (!line.keysDiffering.isEmpty())
        o.insert(QStringLiteral("keysDiffering"), QJsonArray::fromStringList(line.keysDiffering));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

int exitCodeOf(const std::vector<TableLine> &lines, qsizetype tablesAsked)
{
    int code = 0;
    for (const TableLine &l : lines) {
        if (l.outcome == TableLine::Outcome::Failed)
            return 2;
        if (l.outcome == TableLine::Outcome::Differs)
            code = 1;
    }
    return static_cast<qsizetype>(lines.size()) < tablesAsked ? 2 : code;
}

} // namespace cli
