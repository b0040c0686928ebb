#include "transfer/copy/CopyReport.h"

#include "transfer/shared/StatementSink.h"
#include "transfer/shared/TransferRun.h"

#include <algorithm>
#include <cstdio>

namespace transfer {

std::string notCopiedLine(const CopiedTable &t)
{
    return runtimeErrorText(t.errorNumber, t.table + QStringLiteral(": ") + QString::fromStdString(t.error))
        .toStdString();
}

std::string copiedLine(const std::string &table, const LoadFigures &f)
{
    const std::string ranges = f.checkedRanges <= 0 ? std::string()
                               : " in " + std::to_string(f.checkedRanges)
                                     + (f.checkedRanges == 1 ? " key range" : " key ranges");
    char line[256];
    std::snprintf(line, sizeof line, ": %lld rows, %.1f MB, %.1f s, verified%s%s", f.rows,
                  static_cast<double>(f.bytes) / 1e6, f.seconds, ranges.c_str(),
                  f.usedInserts ? " (INSERT: the server refuses LOAD DATA LOCAL)" : "");
    return "-- " + table + line;
}

std::string adaptationLine(const std::string &table, const std::string &change) { return "-- " + table + ": " + change; }

std::string viewAsTableLine(const std::string &view)
{
    return "-- " + view + ": a view, copied as a table of its columns and rows";
}

std::string keyNotAddedLine(int number, const std::string &error)
{
    return runtimeErrorText(number, QString::fromStdString(error)).toStdString();
}

bool worthABox(const CompleteCopyOutcome &outcome)
{
    return !outcome.keysNotAdded.empty() || !outcome.adapted.empty()
           || std::any_of(outcome.tables.begin(), outcome.tables.end(),
                          [](const CopiedTable &t) { return t.result == CopiedTable::Result::NotCopied; });
}

QString completeCopySummary(const CompleteCopyOutcome &outcome)
{
    QStringList copied;
    QStringList failed;
    for (const CopiedTable &t : outcome.tables) {
        if (t.result == CopiedTable::Result::Copied)
            copied << t.table;
        else if (t.error.empty() && t.errorNumber == 0)
            failed << t.table;
        else
            failed << tableWithReason(t.table, t.errorNumber, QString::fromStdString(t.error));
    }
    QStringList keys;
    for (const KeyNotAdded &k : outcome.keysNotAdded)
        keys << QString::fromStdString(k.table) + QStringLiteral(": ") + QString::fromStdString(k.key)
                    + QStringLiteral(" (") + QString::fromStdString(k.error) + u')';
    return completeCopySummary(copied, failed, keys, outcome.adapted.lines());
}

QString completeCopySummary(const QStringList &copied, const QStringList &failed, const QStringList &keysNotAdded,
                            const QStringList &adapted)
{
    const QString none = QStringLiteral("none");
    QString text = QStringLiteral("Copied complete: ") + (copied.isEmpty() ? none : copied.join(QStringLiteral(", ")))
                   + QStringLiteral(".\r\rNot copied: ") + (failed.isEmpty() ? none : failed.join(QStringLiteral(", ")))
                   + u'.';
    if (!keysNotAdded.isEmpty())
        text += QStringLiteral("\r\rCopied without these foreign keys, which the destination refused: ")
                + keysNotAdded.join(QStringLiteral("; ")) + u'.';
    if (!adapted.isEmpty())
        text += QStringLiteral("\r\rMade to fit the destination: ") + adapted.join(QStringLiteral("; ")) + u'.';
    return text;
}

} // namespace transfer
