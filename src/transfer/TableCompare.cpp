#include "transfer/TableCompare.h"

#include "app/Guard.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Dialogs.h"
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"
#include "sides/TableList.h"
#include "transfer/BulkRows.h"
#include "transfer/ChunkCheck.h"
#include "transfer/DefinitionDiff.h"
#include "transfer/LogPane.h"
#include "transfer/Progress.h"
#include "transfer/RowDiff.h"
#include "transfer/ServerText.h"
#include "transfer/Sessions.h"
#include "transfer/StatementSink.h"
#include "transfer/TableDefinition.h"

#include <algorithm>
#include <optional>

namespace transfer {

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

namespace {

std::string withThousands(long long n)
{
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > (n < 0 ? 1 : 0); at -= 3)
        digits.insert(static_cast<size_t>(at), 1, ',');
    return digits;
}

bool numberType(const std::string &type)
{
    return wholeNumberType(type) || type == "decimal" || type == "float" || type == "double";
}

// A table as SHOW FULL TABLES lists it.
struct ListedTable {
    QString name;
    std::string type;
};

const ListedTable *findTable(const std::vector<ListedTable> &tables, const QString &name, const TableNames &names)
{
    for (const ListedTable &t : tables)
        if (names.same(t.name, name))
            return &t;
    return nullptr;
}

std::string lowered(const std::string &name) { return QString::fromStdString(name).toLower().toStdString(); }

const StoredColumn *column(const std::vector<StoredColumn> &columns, const std::string &name)
{
    const std::string wanted = lowered(name);
    for (const StoredColumn &c : columns)
        if (lowered(c.name) == wanted)
            return &c;
    return nullptr;
}

std::string quotedLine(const std::string &line)
{
    size_t start = line.find_first_not_of(' ');
    return start == std::string::npos ? std::string("nothing") : '"' + line.substr(start) + '"';
}

class CompareRunner {
public:
    CompareRunner(const TransferEnds &ends, const TransferUi &ui, app::Guard &g, int fromSide)
        : ends_(ends), ui_(ui), g_(g), hereSide_(fromSide), thereSide_(fromSide == 1 ? 2 : 1)
    {
    }

    void run()
    {
        if (!connect())
            return;
        int selected = 0;
        for (int i = 0; i < ends_.source.count(); ++i)
            selected += ends_.source.isSelected(i) ? 1 : 0;
        int done = 0;
        for (int position = 0; position < ends_.source.count() && !lost_; ++position) {
            if (g_.when(114, [&] { return !ends_.source.isSelected(position); }))
                continue;
            QString name;
            g_(116, [&] { name = ends_.source.text(position); });
            compareTable(name);
            ui_.progress.setValue(100.0 * ++done / std::max(selected, 1));
        }
        ui_.dialogs.message(compareSummary(same_, differ_, missing_, thereSide_, failed_));
    }

private:
    bool connect()
    {
        g_(104, [&] {
            setCopyTimeouts(here_, ui_.yield);
            setCopyTimeouts(there_, ui_.yield);
        });
        return g_.attempt(106, [&] { openForCopy(here_, ends_.sourceProfile); })
               && g_.attempt(106, [&] { openForCopy(there_, ends_.destinationProfile); })
               && g_.attempt(106, [&] {
                      for (platform::Connection *c : {&here_, &there_})
                          prepareSourceSession(*c);
                      hereServer_ = serverRules(here_);
                      thereServer_ = serverRules(there_);
                      hereTables_ = listTables(here_);
                      thereTables_ = listTables(there_);
                      for (platform::Connection *c : {&here_, &there_})
                          readInSnapshot(*c);
                  });
    }

    // How the server compares names, and how long a question it takes: a quarter of its
    // max_allowed_packet, at most 256 KiB (a level of many ranges in few round trips).
    struct ServerRules {
        TableNames names;
        size_t questionBytes = 0;
    };
    static ServerRules serverRules(platform::Connection &c)
    {
        platform::RecordSet r = c.execute("SELECT @@lower_case_table_names, @@max_allowed_packet");
        const bool answered = !r.eof() && r.fieldCount() == 2;
        const std::string rule = answered ? std::string(r.value(0).bytes) : std::string();
        const std::string packet = answered ? std::string(r.value(1).bytes) : std::string();
        r.close();
        ServerRules rules;
        rules.names.rule = static_cast<int>(wholeNumber(c, "lower_case_table_names", rule, 0, 2));
        rules.questionBytes = static_cast<size_t>(
            std::min<long long>(wholeNumber(c, "max_allowed_packet", packet, 1024, 1LL << 30) / 4, 256 * 1024));
        return rules;
    }

    static std::vector<ListedTable> listTables(platform::Connection &c)
    {
        std::vector<ListedTable> tables;
        platform::RecordSet r = c.execute("SHOW FULL TABLES");
        while (!r.eof()) {
            if (r.fieldCount() < 2)
                throw platform::DbError(0, c.serverName() + " listed its tables without their types.");
            tables.push_back({QString::fromUtf8(r.value(0).bytes.data(), static_cast<qsizetype>(r.value(0).bytes.size())),
                              std::string(r.value(1).bytes)});
            r.moveNext();
        }
        r.close();
        return tables;
    }

    // Every question of the run sees the tables as they were at its start, on engines that keep
    // versions of rows; the session can change nothing.
    static void readInSnapshot(platform::Connection &c)
    {
        c.execute("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        try {
            c.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
        } catch (const platform::DbError &e) {
            if (e.isConnectionLost())
                throw;
            // Servers before read-only transactions: the snapshot all the same.
            c.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT");
        }
    }

    void compareTable(const QString &name)
    {
        const ListedTable *there = findTable(thereTables_, name, thereServer_.names);
        const ListedTable *here = findTable(hereTables_, name, hereServer_.names);
        if (!there) {
            ui_.log.appendEntry("-- " + name.toStdString() + ": missing on #" + std::to_string(thereSide_));
            missing_ << name;
            return;
        }
        try {
            if (!here)
                throw platform::DbError(1146, "MySQL #" + std::to_string(hereSide_) + " no longer has it");
            compareFound(*here, *there);
        } catch (const platform::ProgramEnding &) {
            throw;
        } catch (const platform::DbError &e) {
            lost_ = e.isConnectionLost();
            notCompared(name, e.number(), e.what());
        } catch (const std::exception &e) {
            notCompared(name, 0, e.what());
        }
    }

    void notCompared(const QString &name, int number, const char *reason)
    {
        const QString why = QString::fromUtf8(reason);
        ui_.log.appendEntry(runtimeErrorText(number, name + QStringLiteral(": ") + why).toStdString());
        failed_ << name + QStringLiteral(" (") + (number != 0 ? QString::number(number) + u' ' : QString()) + why + u')';
    }

    // The primary key, else a unique key of columns that hold no NULL, of columns both tables
    // have; empty when there is none.
    std::vector<std::string> keyOf(const std::string &table, const std::vector<StoredColumn> &compared)
    {
        std::string q = "SELECT INDEX_NAME, COLUMN_NAME, NULLABLE FROM information_schema.STATISTICS WHERE "
                        "TABLE_SCHEMA = DATABASE() AND NON_UNIQUE = 0 AND TABLE_NAME = ";
        platform::appendStringLiteral(q, table, here_.noBackslashEscapes());
        q += " ORDER BY INDEX_NAME <> 'PRIMARY', INDEX_NAME, SEQ_IN_INDEX";
        platform::RecordSet r = here_.execute(q);
        std::vector<std::string> key;
        std::string index;
        bool usable = false;
        while (!r.eof()) {
            const std::string name(r.value(0).bytes);
            if (name != index) {
                if (usable && !key.empty())
                    break;
                index = name;
                key.clear();
                usable = true;
            }
            const std::string columnName(r.value(1).bytes);
            usable = usable && r.value(2).bytes != "YES" && column(compared, columnName);
            key.push_back(columnName);
            r.moveNext();
        }
        r.close();
        if (!usable)
            key.clear();
        return key;
    }

    void compareFound(const ListedTable &here, const ListedTable &there)
    {
        const std::string hereTable = here.name.toStdString();
        const std::string thereTable = there.name.toStdString();
        std::vector<std::string> parts;
        bool differs = false;
        // A view's rows are compared; how each server words its definition is its own.
        if ((here.type == "VIEW") != (there.type == "VIEW")) {
            differs = true;
            const std::string &one = hereSide_ == 1 ? here.type : there.type;
            const std::string &two = hereSide_ == 1 ? there.type : here.type;
            parts.push_back("definition differs: #1 \"" + one + "\", #2 \"" + two + '"');
        } else if (here.type != "VIEW") {
            const DefinitionDifference d =
                compareDefinitions(showCreateTable(here_, hereTable), showCreateTable(there_, thereTable));
            if (!d.same) {
                differs = true;
                const bool oneHere = hereSide_ == 1;
                parts.push_back("definition differs: #1 " + quotedLine(oneHere ? d.one : d.two) + ", #2 "
                                + quotedLine(oneHere ? d.two : d.one));
            }
        }

        const std::vector<StoredColumn> hereColumns = storedColumns(here_, hereTable);
        const std::vector<StoredColumn> thereColumns = storedColumns(there_, thereTable);
        // Columns both have, in this side's order, each with its own server's type.
        std::vector<StoredColumn> one;
        std::vector<StoredColumn> two;
        for (const StoredColumn &c : hereColumns)
            if (const StoredColumn *match = column(thereColumns, c.name)) {
                one.push_back(c);
                two.push_back(*match);
            }
        if (one.empty())
            throw platform::DbError(0, "the two tables have no column in common");

        const std::vector<std::string> key = keyOf(hereTable, one);
        std::vector<StoredColumn> keyOne;
        std::vector<StoredColumn> keyTwo;
        for (const std::string &k : key) {
            keyOne.push_back(*column(one, k));
            keyTwo.push_back(*column(two, k));
        }
        const bool wholeNumbers = key.size() == 1 && wholeNumberType(keyOne[0].dataType)
                                  && wholeNumberType(keyTwo[0].dataType);
        const auto side = [&](platform::Connection &c, const std::string &table, const std::vector<StoredColumn> &all,
                              const std::vector<StoredColumn> &keyColumns, const ServerRules &rules) {
            ComparedTable t{c, table, rowChecksum(all), {}, {}, {}, rules.questionBytes};
            if (keyColumns.empty())
                return t;
            if (wholeNumbers)
                platform::appendBackquoted(t.position, keyColumns[0].name);
            else
                t.position = rowChecksum(keyColumns);
            for (const StoredColumn &k : keyColumns) {
                t.keyColumns.push_back(k.name);
                t.textKey.push_back(!numberType(k.dataType));
            }
            return t;
        };
        const ComparedTable a = side(here_, hereTable, one, keyOne, hereServer_);
        const ComparedTable b = side(there_, thereTable, two, keyTwo, thereServer_);
        const RowComparison rows = compareRows(a, b, wholeNumbers);
        parts.push_back(rowsText(rows, !key.empty(), differs));
        if (one.size() != hereColumns.size() || two.size() != thereColumns.size())
            parts.back() += " (on the " + std::to_string(one.size()) + " columns both have)";
        differs = differs || !rows.same || one.size() != hereColumns.size() || two.size() != thereColumns.size();
        std::string line = "-- " + hereTable + ": ";
        for (size_t i = 0; i < parts.size(); ++i)
            line += (i > 0 ? "; " : "") + parts[i];
        ui_.log.appendEntry(line);
        (differs ? differ_ : same_) << here.name;
    }

    std::string rowsText(const RowComparison &rows, bool keyed, bool definitionDiffers)
    {
        const long long onOne = hereSide_ == 1 ? rows.rowsOne : rows.rowsTwo;
        const long long onTwo = hereSide_ == 1 ? rows.rowsTwo : rows.rowsOne;
        const std::string counts = onOne == onTwo ? withThousands(onOne)
                                                  : withThousands(onOne) + " on #1 and " + withThousands(onTwo) + " on #2";
        if (rows.same)
            return (definitionDiffers ? "rows same (" : "same (") + counts + (onOne == 1 ? " row)" : " rows)");
        if (!keyed)
            return "rows differ: " + counts + " rows, and their digests differ (no key to tell which rows)";
        std::string text = "rows differ: " + (rows.more ? "more than " + std::to_string(rows.rows.size())
                                                        : std::to_string(rows.rows.size()))
                           + " of " + counts + (rows.more ? " (the first keys " : " (keys ");
        const std::string here = "only on #" + std::to_string(hereSide_);
        const std::string there = "only on #" + std::to_string(thereSide_);
        for (size_t i = 0; i < rows.rows.size(); ++i) {
            const DifferingRow &r = rows.rows[i];
            text += (i > 0 ? ", " : "") + r.key + ' '
                    + (r.kind == DifferingRow::Kind::OnlyOnOne   ? here
                       : r.kind == DifferingRow::Kind::OnlyOnTwo ? there
                                                                 : std::string("differs"));
        }
        return text + ')';
    }

    const TransferEnds &ends_;
    const TransferUi &ui_;
    app::Guard &g_;
    int hereSide_;
    int thereSide_;
    platform::Connection here_;
    platform::Connection there_;
    ServerRules hereServer_;
    ServerRules thereServer_;
    std::vector<ListedTable> hereTables_;
    std::vector<ListedTable> thereTables_;
    bool lost_ = false;
    QStringList same_;
    QStringList differ_;
    QStringList missing_;
    QStringList failed_;
};

} // namespace

void runCompare(const TransferEnds &ends, const TransferUi &ui, int fromSide)
{
    runSelectedTables(ends, ui, [&](app::Guard &g) {
        CompareRunner runner(ends, ui, g, fromSide);
        runner.run();
        return QStringList();
    });
}

} // namespace transfer
