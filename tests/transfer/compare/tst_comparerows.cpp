// Compare's rows against the real servers: exactly the keys that differ, of every kind of key,
// found without reading the rows that are the same.
#include "CompareHarness.h"
#include "platform/DbConnection.h"
#include "transfer/compare/TableComparer.h"
#include "transfer/shared/Sessions.h"

#include <QtTest>

#include <map>
#include <string>

using sandbox::Cell;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

// Two sessions set up as Compare sets up its own, comparing a table outside any window: for what
// the engine hands a change, which no box shows whole.
struct DirectCompare {
    platform::Connection a;
    platform::Connection b;

    DirectCompare(const ScratchDatabase &one, const ScratchDatabase &two)
    {
        a.open(one.connectionString().toStdString());
        b.open(two.connectionString().toStdString());
        for (platform::Connection *c : {&a, &b})
            transfer::prepareSourceSession(*c);
    }
    transfer::TableComparison compare(const char *name, size_t mostKeys)
    {
        const transfer::CompareSide here{a, transfer::serverRules(a), 1};
        const transfer::CompareSide there{b, transfer::serverRules(b), 2};
        const transfer::ListedTable table{QString::fromLatin1(name), "BASE TABLE"};
        return transfer::compareTables(here, table, there, table, mostKeys);
    }
};

} // namespace

class CompareRowsTest : public QObject {
    Q_OBJECT
private slots:
    void exactlyTheDifferingKeysOfABigTable_data();
    void exactlyTheDifferingKeysOfABigTable();
    void textAndCompositeKeysAreNamedToo();
    void everyDifferingKeyComesWithItsValues();
    void rowsScatteredOverEveryPartAreAllFound();
    void aTableWithoutAKeyDiffersByItsDigest();
    void nullIsNotEmpty();
    void theWidestKeysAreFound();
};

void CompareRowsTest::exactlyTheDifferingKeysOfABigTable_data()
{
    QTest::addColumn<int>("fromSide");
    QTest::newRow("from #1") << 1;
    QTest::newRow("from #2") << 2;
}

void CompareRowsTest::exactlyTheDifferingKeysOfABigTable()
{
    QFETCH(int, fromSide);
    ScratchDatabase one(1, QStringLiteral("cmpbig1"));
    ScratchDatabase two(2, QStringLiteral("cmpbig2"));
    createOrders(one, 200000);
    createOrders(two, 200000);
    two.exec("UPDATE orders SET v = 'changed' WHERE id = 17");
    two.exec("DELETE FROM orders WHERE id = 4002");
    two.exec("INSERT INTO orders VALUES (250000, 'extra', 1)");
    const Rows before = fingerprint(one, "orders");

    Harness h;
    if (fromSide == 1)
        h.compare(one, two, {QStringLiteral("orders")});
    else
        h.compare(two, one, {QStringLiteral("orders")}, 2);
    QCOMPARE(h.line(QStringLiteral("orders")),
             QStringLiteral("-- orders: rows differ: 3 of 200,000 (keys 17 differs, 4002 only on #1, 250000 only on #2)"));
    QCOMPARE(h.box(), QStringLiteral("Same: none.\r\rDiffer: orders.\r\rMissing on #") + QString::number(3 - fromSide)
                          + QStringLiteral(": none."));
    QCOMPARE(fingerprint(one, "orders"), before);

    // More than a hundred: the first hundred, and the count said to be more.
    two.exec("UPDATE orders SET n = n + 1 WHERE id BETWEEN 100001 AND 100150");
    Harness many;
    many.compare(one, two, {QStringLiteral("orders")});
    const QString line = many.line(QStringLiteral("orders"));
    QVERIFY2(line.startsWith(QStringLiteral("-- orders: rows differ: more than 100 of 200,000 (the first keys 17 differs, "
                                            "4002 only on #1, 100001 differs, 100002 differs, ")),
             qPrintable(line));
    QVERIFY2(line.endsWith(QStringLiteral(", 100098 differs)")), qPrintable(line));
}

void CompareRowsTest::textAndCompositeKeysAreNamedToo()
{
    ScratchDatabase one(1, QStringLiteral("cmpkeys1"));
    ScratchDatabase two(2, QStringLiteral("cmpkeys2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE pairs (code VARCHAR(20) NOT NULL, n INT NOT NULL, v INT, PRIMARY KEY (code, n))");
        db->exec("INSERT INTO pairs SELECT CONCAT('k', seq % 50), seq, seq FROM seq_1_to_5000");
        // No primary key: a unique key of columns without NULL stands in for it.
        db->exec("CREATE TABLE tags (tag VARCHAR(30) NOT NULL, note TEXT, UNIQUE KEY (tag))");
        db->exec("INSERT INTO tags SELECT CONCAT('tag ', seq), 'same' FROM seq_1_to_3000");
    }
    two.exec("UPDATE pairs SET v = 0 WHERE code = 'k42' AND n = 42");
    two.exec("INSERT INTO pairs VALUES ('it''s', 1, 1)");
    two.exec("UPDATE tags SET note = 'other' WHERE tag = 'tag 2999'");

    Harness h;
    h.compare(one, two, {QStringLiteral("pairs"), QStringLiteral("tags")});
    QCOMPARE(h.line(QStringLiteral("pairs")),
             QStringLiteral("-- pairs: rows differ: 2 of 5,000 on #1 and 5,001 on #2 (keys ('it''s', 1) only on #2, "
                            "('k42', 42) differs)"));
    QCOMPARE(h.line(QStringLiteral("tags")), QStringLiteral("-- tags: rows differ: 1 of 3,000 (keys 'tag 2999' differs)"));
}

// What a change of the differing rows starts from: not the first hundred keys but every one, each
// with the values to find its row by, bytes as stored (a zero byte, a quote) included.
void CompareRowsTest::everyDifferingKeyComesWithItsValues()
{
    ScratchDatabase one(1, QStringLiteral("cmpall1"));
    ScratchDatabase two(2, QStringLiteral("cmpall2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE pairs (code VARBINARY(20) NOT NULL, n INT NOT NULL, v INT, PRIMARY KEY (code, n))");
        db->exec("INSERT INTO pairs SELECT CONCAT('k', seq % 7), seq, seq FROM seq_1_to_6000");
    }
    two.exec("UPDATE pairs SET v = -v WHERE n % 40 = 0"); // 150 rows
    two.exec("DELETE FROM pairs WHERE n = 7");
    one.exec("INSERT INTO pairs VALUES (x'7A0027', 1, 1)"); // z, a zero byte, a quote: only on #1

    DirectCompare direct(one, two);
    const transfer::TableComparison listed = direct.compare("pairs", transfer::MostDifferingKeys);
    QCOMPARE(listed.rows.rows.size(), size_t(transfer::MostDifferingKeys));
    QVERIFY(listed.rows.more);

    const transfer::TableComparison all = direct.compare("pairs", 0);
    QVERIFY(!all.rows.more);
    QCOMPARE(all.rows.rows.size(), size_t(152));
    int changed = 0;
    for (const transfer::DifferingRow &r : all.rows.rows) {
        QCOMPARE(r.keyValues.size(), size_t(2));
        QVERIFY(r.keyValues[0] && r.keyValues[1]);
        const int n = std::stoi(*r.keyValues[1]);
        if (r.kind == transfer::DifferingRow::Kind::Differs) {
            QCOMPARE(n % 40, 0);
            QCOMPARE(*r.keyValues[0], "k" + std::to_string(n % 7));
            ++changed;
        } else if (r.kind == transfer::DifferingRow::Kind::OnlyHere && n == 7) {
            QCOMPARE(*r.keyValues[0], std::string("k0"));
        } else {
            QCOMPARE(int(r.kind), int(transfer::DifferingRow::Kind::OnlyHere));
            QCOMPARE(*r.keyValues[0], std::string("z\0'", 3));
            QCOMPARE(n, 1);
        }
    }
    QCOMPARE(changed, 150);
}

// Differing rows in every part the first look splits the table into, at the parts' edges and the
// table's ends: each one found, none more.
void CompareRowsTest::rowsScatteredOverEveryPartAreAllFound()
{
    ScratchDatabase one(1, QStringLiteral("cmpspread1"));
    ScratchDatabase two(2, QStringLiteral("cmpspread2"));
    createOrders(one, 200000);
    createOrders(two, 200000);
    std::map<long long, transfer::DifferingRow::Kind> expected;
    std::string changed;
    for (long long id = 1; id <= 200000; id += 499) { // 401 rows, a few in each of 256 parts
        changed += (changed.empty() ? "" : ", ") + std::to_string(id);
        expected[id] = transfer::DifferingRow::Kind::Differs;
    }
    two.exec("UPDATE orders SET n = n + 1 WHERE id IN (" + changed + ", 200000)");
    expected[200000] = transfer::DifferingRow::Kind::Differs;
    // Either side of where the parts of 782 keys meet.
    two.exec("DELETE FROM orders WHERE id IN (782, 783, 1564, 1565)");
    for (const long long id : {782, 783, 1564, 1565})
        expected[id] = transfer::DifferingRow::Kind::OnlyHere;
    two.exec("INSERT INTO orders VALUES (200001, 'past the end', 1)");
    expected[200001] = transfer::DifferingRow::Kind::OnlyThere;
    one.exec("DELETE FROM orders WHERE id = 100000");
    expected[100000] = transfer::DifferingRow::Kind::OnlyThere;

    const transfer::TableComparison all = DirectCompare(one, two).compare("orders", 0);
    QVERIFY(!all.rows.more);
    QCOMPARE(all.rows.rowsHere, 199999LL);
    QCOMPARE(all.rows.rowsThere, 199997LL);
    std::map<long long, transfer::DifferingRow::Kind> found;
    for (const transfer::DifferingRow &r : all.rows.rows)
        QVERIFY2(found.emplace(std::stoll(r.key), r.kind).second, r.key.c_str());
    QCOMPARE(found.size(), expected.size());
    QVERIFY(found == expected);
}

void CompareRowsTest::aTableWithoutAKeyDiffersByItsDigest()
{
    ScratchDatabase one(1, QStringLiteral("cmpnokey1"));
    ScratchDatabase two(2, QStringLiteral("cmpnokey2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE events (at INT, what VARCHAR(20))");
        db->exec("INSERT INTO events SELECT seq, 'same' FROM seq_1_to_1000");
    }
    two.exec("UPDATE events SET what = 'other' WHERE at = 500");

    Harness h;
    h.compare(one, two, {QStringLiteral("events")});
    QCOMPARE(h.line(QStringLiteral("events")),
             QStringLiteral("-- events: rows differ: 1,000 rows, and their digests differ (no key to tell which rows)"));
    // The same rows in another order are the same table.
    two.exec("UPDATE events SET what = 'same' WHERE at = 500");
    two.exec("ALTER TABLE events ORDER BY at DESC");
    Harness again;
    again.compare(one, two, {QStringLiteral("events")});
    QCOMPARE(again.line(QStringLiteral("events")), QStringLiteral("-- events: same (1,000 rows)"));
}

void CompareRowsTest::nullIsNotEmpty()
{
    ScratchDatabase one(1, QStringLiteral("cmpnull1"));
    ScratchDatabase two(2, QStringLiteral("cmpnull2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(5))");
    two.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(5))");
    one.exec("INSERT INTO t VALUES (1, 'a'), (2, NULL), (3, 'c')");
    two.exec("INSERT INTO t VALUES (1, 'a'), (2, ''), (3, 'c')");
    Harness h;
    h.compare(one, two, {QStringLiteral("t")});
    QCOMPARE(h.line(QStringLiteral("t")), QStringLiteral("-- t: rows differ: 1 of 3 (keys 2 differs)"));
}

void CompareRowsTest::theWidestKeysAreFound()
{
    ScratchDatabase one(1, QStringLiteral("cmpwide1"));
    ScratchDatabase two(2, QStringLiteral("cmpwide2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE u (id BIGINT UNSIGNED PRIMARY KEY, v INT)");
        db->exec("INSERT INTO u SELECT seq * 1000, 0 FROM seq_0_to_199");
        db->exec("INSERT INTO u VALUES (18446744073709551615, 0)");
        db->exec("CREATE TABLE s (id BIGINT PRIMARY KEY, v INT)");
        db->exec("INSERT INTO s SELECT CAST(seq AS SIGNED) - 100, 0 FROM seq_0_to_199");
        db->exec("INSERT INTO s VALUES (-9223372036854775808, 0), (9223372036854775807, 0)");
    }
    two.exec("UPDATE u SET v = 1 WHERE id IN (0, 18446744073709551615)");
    two.exec("UPDATE s SET v = 1 WHERE id IN (-9223372036854775808, 9223372036854775807)");
    two.exec("DELETE FROM s WHERE id = -1");
    Harness h;
    h.compare(one, two, {QStringLiteral("s"), QStringLiteral("u")});
    QCOMPARE(h.line(QStringLiteral("u")),
             QStringLiteral("-- u: rows differ: 2 of 201 (keys 0 differs, 18446744073709551615 differs)"));
    QCOMPARE(h.line(QStringLiteral("s")),
             QStringLiteral("-- s: rows differ: 3 of 202 on #1 and 201 on #2 (keys -9223372036854775808 differs, -1 only "
                            "on #1, 9223372036854775807 differs)"));
}

QTEST_MAIN(CompareRowsTest)
#include "tst_comparerows.moc"
