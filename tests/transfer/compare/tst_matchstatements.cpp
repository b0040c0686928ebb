// The statements that change a target's differing rows, run on the real server: each finds exactly
// its row by the key, writes the bytes as stored, and no value a server sent becomes SQL.
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "support/Sandbox.h"
#include "transfer/compare/MatchStatements.h"
#include "transfer/compare/RowsMatch.h"
#include "transfer/compare/TableComparer.h"
#include "transfer/shared/Catalog.h"
#include "transfer/shared/Sessions.h"

#include <QtTest>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;
using namespace transfer;

class MatchStatementsTest : public QObject {
    Q_OBJECT
private slots:
    void eachStatementTouchesExactlyItsRow_data();
    void eachStatementTouchesExactlyItsRow();
    void keyValuesNeverBecomeSql();
    void onlyTheDifferingRowsChange();
};

namespace {

const std::vector<StoredColumn> Columns{{"code", "varchar", false, {}}, {"n", "bigint", false, {}},
                                        {"d", "datetime", false, {}}, {"b", "varbinary", false, {}},
                                        {"v", "text", false, {}}};
const std::vector<KeyColumn> Key{{0, KeyColumn::Form::Text, "latin1"}, {1, KeyColumn::Form::Number, {}},
                                 {2, KeyColumn::Form::Temporal, {}}};

// The row as stored, every value its bytes.
Cells storedRow(platform::Connection &c, const std::string &where)
{
    platform::RecordSet r = c.execute("SELECT code, n, d, b, v FROM pairs WHERE " + where);
    Cells cells;
    if (!r.eof())
        for (int i = 0; i < r.fieldCount(); ++i)
            cells.push_back(r.value(i).isNull ? std::optional<std::string>() : std::string(r.value(i).bytes));
    r.close();
    return cells;
}

// How many rows the session's last statement changed.
std::string rowsChanged(platform::Connection &c)
{
    platform::RecordSet r = c.execute("SELECT ROW_COUNT()");
    const std::string n(r.value(0).bytes);
    r.close();
    return n;
}

} // namespace

void MatchStatementsTest::eachStatementTouchesExactlyItsRow_data()
{
    QTest::addColumn<int>("server");
    QTest::newRow("MariaDB 10.11") << 1;
    QTest::newRow("MariaDB 10.5") << 3;
    QTest::newRow("MariaDB 11.8") << 4;
    QTest::newRow("MySQL 9.7") << sandbox::MySqlServer;
}

void MatchStatementsTest::eachStatementTouchesExactlyItsRow()
{
    QFETCH(int, server);
    if (const QString missing = sandbox::missingServer(server); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    ScratchDatabase db(server, QStringLiteral("matchst"));
    db.exec("CREATE TABLE pairs (code VARCHAR(20) CHARACTER SET latin1 NOT NULL, n BIGINT NOT NULL, "
            "d DATETIME(6) NOT NULL, b VARBINARY(10), v TEXT, PRIMARY KEY (code, n, d))");
    // Two keys a double cannot tell apart (2^53 and 2^53 + 1), one a case apart, one elsewhere.
    db.exec("INSERT INTO pairs VALUES (X'4DFC6C6C6572', 9007199254740993, '2024-02-29 12:00:00.123456', NULL, 'one'), "
            "(X'4DFC6C6C6572', 9007199254740992, '2024-02-29 12:00:00.123456', NULL, 'two'), "
            "('other', 1, '2000-01-01', X'00', 'three')");
    const Rows before = db.query("SELECT HEX(code), n, d, HEX(b), v FROM pairs ORDER BY n");

    platform::Connection c;
    c.open(db.connectionString().toStdString());
    c.execute("SET character_set_results = binary");
    const MatchStatements statements("pairs", Columns, Key, c.noBackslashEscapes());
    Cells row = storedRow(c, "n = 9007199254740993");
    QCOMPARE(row.size(), size_t(5));
    QCOMPARE(*row[0], std::string("M\xfcller"));

    row[3] = std::string("q'\\\0z", 5); // a quote, a backslash, a zero byte
    row[4] = std::nullopt;
    const std::string update = statements.update(row, {false, false, false, true, true}, statements.keyOf(row));
    QVERIFY(update.starts_with("UPDATE `pairs` SET `b` = "));
    QVERIFY(statements.update(row, {false, false, false, false, false}, statements.keyOf(row)).empty());
    c.execute(update);
    QCOMPARE(rowsChanged(c), std::string("1"));
    QCOMPARE(db.query("SELECT HEX(b), v IS NULL FROM pairs WHERE n = 9007199254740993"),
             (Rows{{Cell("71275C007A"), Cell("1")}}));
    // The neighbours, a double apart or elsewhere, are as they were.
    QCOMPARE(db.query("SELECT HEX(code), n, d, HEX(b), v FROM pairs WHERE n <> 9007199254740993 ORDER BY n"),
             (Rows{before[0], before[1]}));

    c.execute(statements.remove(statements.keyOf(row)));
    QCOMPARE(rowsChanged(c), std::string("1"));
    QCOMPARE(db.query("SELECT COUNT(*) FROM pairs"), (Rows{{Cell("2")}}));
    c.execute(statements.insert(row));
    QCOMPARE(storedRow(c, "n = 9007199254740993"), row);
    QCOMPARE(db.query("SELECT COUNT(*) FROM pairs WHERE v = 'two'"), (Rows{{Cell("1")}}));
}

void MatchStatementsTest::keyValuesNeverBecomeSql()
{
    const MatchStatements statements("pairs", Columns, Key, false);
    const auto refused = [&](const Cells &key) {
        try {
            statements.keyCondition(key);
        } catch (const platform::DbError &) {
            return true;
        }
        return false;
    };
    QVERIFY(refused({std::string("a"), std::string("1 OR 1 = 1"), std::string("2000-01-01")}));
    QVERIFY(refused({std::string("a"), std::string("1"), std::string("2000-01-01' OR '1")}));
    QVERIFY(refused({std::string("a"), std::nullopt, std::string("2000-01-01")}));
    QVERIFY(refused({std::string("a"), std::string("1")}));
    // Text goes as its bytes, whatever they say.
    QCOMPARE(statements.keyCondition({std::string("x' OR '1"), std::string("-12.50"), std::string("2000-01-01 10:00")}),
             std::string("`code` = _latin1 X'7827204F52202731' AND `n` = -12.50 AND `d` = '2000-01-01 10:00'"));
    // Keys no statement can match exactly are refused at once.
    const std::vector<StoredColumn> floats{{"f", "float", false, {}}};
    QVERIFY_THROWS_EXCEPTION(platform::DbError, MatchStatements("t", floats, {{0, KeyColumn::Form::Number, {}}}, false));
    QVERIFY_THROWS_EXCEPTION(platform::DbError,
                             MatchStatements("t", Columns, {{0, KeyColumn::Form::Text, "latin1) OR (1"}}, false));
}

// A whole change of a table's differing rows, in small transactions: additions, changes of the
// differing columns (the changed parent's children on the target stay: no delete and insert),
// removals, and a row the target changed after the compare, left and named.
void MatchStatementsTest::onlyTheDifferingRowsChange()
{
    ScratchDatabase one(1, QStringLiteral("matchrows1"));
    ScratchDatabase two(2, QStringLiteral("matchrows2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE parent (code VARCHAR(10) CHARACTER SET latin1 NOT NULL, n INT NOT NULL, v VARCHAR(20), "
                 "PRIMARY KEY (code, n))");
        db->exec("INSERT INTO parent SELECT CONCAT('k', seq % 9), seq, CONCAT('v', seq) FROM seq_1_to_2000");
    }
    one.exec("UPDATE parent SET code = X'4DFC' WHERE n = 500"); // latin1 ü in the key
    two.exec("UPDATE parent SET code = X'4DFC' WHERE n = 500");
    two.exec("CREATE TABLE child (id INT PRIMARY KEY, code VARCHAR(10) CHARACTER SET latin1 NOT NULL, n INT NOT NULL, "
             "FOREIGN KEY (code, n) REFERENCES parent (code, n) ON DELETE CASCADE)");
    two.exec("INSERT INTO child VALUES (1, 'k1', 1), (2, 'k1', 1), (3, X'4DFC', 500)");
    two.exec("UPDATE parent SET v = 'changed' WHERE n % 60 = 0 OR n IN (1, 500)"); // 35 rows
    two.exec("DELETE FROM parent WHERE n BETWEEN 1001 AND 1010");                  // 10 to add back
    two.exec("INSERT INTO parent VALUES ('extra', 1, NULL), ('extra', 2, NULL)");    // 2 to remove

    platform::Connection a;
    platform::Connection b;
    a.open(one.connectionString().toStdString());
    b.open(two.connectionString().toStdString());
    for (platform::Connection *c : {&a, &b}) {
        prepareSourceSession(*c);
        readInSnapshot(*c);
    }
    const CompareSide here{a, serverRules(a), 1};
    const CompareSide there{b, serverRules(b), 2};
    const ListedTable table{QStringLiteral("parent"), "BASE TABLE"};
    const TableComparison found = compareTables(here, table, there, table, 0);
    QCOMPARE(found.rows.rows.size(), size_t(47));
    two.exec("UPDATE parent SET v = 'after the compare' WHERE n = 120"); // the target moves on

    platform::Connection target;
    target.open(two.connectionString().toStdString());
    prepareSourceSession(target);
    for (platform::Connection *c : {&a, &target})
        c->execute("SET character_set_results = binary");
    const std::vector<StoredColumn> columns = storedColumns(a, "parent");
    const MatchStatements statements(
        "parent", columns, {{0, KeyColumn::Form::Text, "utf8mb4"}, {1, KeyColumn::Form::Number, {}}},
        target.noBackslashEscapes());
    const MatchEnds ends{a, target, statements, "parent", selectedColumns(columns), rowChecksum(storedColumns(target, "parent"))};
    QStringList sent;
    RowsMatched done;
    matchRows(ends, found.rows.rows, MatchPass::Everything, {7},
              [&](const std::vector<std::string> &statements) {
                  for (const std::string &statement : statements) {
                      sent << QString::fromStdString(statement);
                      target.execute(statement);
                  }
              },
              done);
    QCOMPARE(done.added, 10LL);
    QCOMPARE(done.removed, 2LL);
    QCOMPARE(done.changed, 34LL);
    QCOMPARE(done.leftAlone, std::vector<std::string>{"('k3', 120)"});
    QCOMPARE(sent.filter(QStringLiteral("START TRANSACTION")).size(), 7);
    QVERIFY(sent.filter(QStringLiteral("REPLACE")).isEmpty());
    QVERIFY(sent.contains(QStringLiteral("UPDATE `parent` SET `v` = _binary'v1' WHERE `code` = _utf8mb4 X'6B31' AND "
                                         "`n` = 1 LIMIT 1")));

    // Only the row left alone still differs, and the changed parents kept their children.
    platform::Connection c1;
    platform::Connection c2;
    c1.open(one.connectionString().toStdString());
    c2.open(two.connectionString().toStdString());
    for (platform::Connection *c : {&c1, &c2})
        prepareSourceSession(*c);
    const TableComparison after =
        compareTables({c1, serverRules(c1), 1}, table, {c2, serverRules(c2), 2}, table, 0);
    QCOMPARE(after.rows.rows.size(), size_t(1));
    QCOMPARE(after.rows.rows[0].key, std::string("('k3', 120)"));
    QCOMPARE(two.query("SELECT COUNT(*) FROM child"), (Rows{{Cell("3")}}));
}

QTEST_GUILESS_MAIN(MatchStatementsTest)
#include "tst_matchstatements.moc"
