// "Make MySQL #n Match" when the tables are not as the compare left them or a change is refused:
// what is left and said, what stays done, and a difference too big for one window walked to its end.
#include "MatchHarness.h"

#include <QtTest>

class MatchChangesTest : public QObject {
    Q_OBJECT
private slots:
    void aRowChangedAfterTheCompareIsLeftAndSaid();
    void aDefinitionChangedAfterTheCompareIsSeenAgain();
    void aRefusalStopsWithTheEarlierTransactionsKept_data();
    void aRefusalStopsWithTheEarlierTransactionsKept();
    void tablesRowsCannotMendAreSaidAndLeft();
    void moreRowsThanAWindowAreWalkedToTheEnd_data();
    void moreRowsThanAWindowAreWalkedToTheEnd();
};

void MatchChangesTest::aRowChangedAfterTheCompareIsLeftAndSaid()
{
    ScratchDatabase one(1, QStringLiteral("mmmoved1"));
    ScratchDatabase two(2, QStringLiteral("mmmoved2"));
    createOrders(one, 500);
    createOrders(two, 500);
    two.exec("UPDATE orders SET v = 'x' WHERE id IN (17, 18)");
    Harness h;
    h.dialogs.choices.push_back(Change);
    // While the box is open, someone else changes one of the rows on #2.
    h.dialogs.onMessage = [&] {
        if (h.dialogs.messages.size() == 1)
            two.exec("UPDATE orders SET v = 'theirs' WHERE id = 17");
    };
    h.match(one, two, {QStringLiteral("orders")});
    QVERIFY2(h.box().contains(QStringLiteral("orders: 0 added, 1 changed, 0 removed on #2; left alone, as #2 changed "
                                             "them after the compare: 17")),
             qPrintable(h.box()));
    QVERIFY2(h.box().endsWith(QStringLiteral("orders: rows differ: 1 of 500 (keys 17 differs)")), qPrintable(h.box()));
    QCOMPARE(two.query("SELECT v FROM orders WHERE id IN (17, 18) ORDER BY id"), (Rows{{Cell("theirs")}, {Cell("v18")}}));
}

// The first look asks the catalog of all the tables at once; the look after the change asks it
// afresh, so a column someone added meanwhile is not missed.
void MatchChangesTest::aDefinitionChangedAfterTheCompareIsSeenAgain()
{
    ScratchDatabase one(1, QStringLiteral("mmaltered1"));
    ScratchDatabase two(2, QStringLiteral("mmaltered2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        createOrders(*db, 500);
        db->exec("CREATE TABLE other (id INT PRIMARY KEY)");
    }
    two.exec("UPDATE orders SET v = 'x' WHERE id = 17");
    one.exec("INSERT INTO other VALUES (1)");
    Harness h;
    h.dialogs.choices.push_back(Change);
    h.dialogs.onMessage = [&] {
        if (h.dialogs.messages.size() == 1)
            two.exec("ALTER TABLE orders ADD COLUMN note INT NOT NULL DEFAULT 0");
    };
    h.match(one, two, {QStringLiteral("orders"), QStringLiteral("other")});
    QVERIFY2(h.box().contains(QStringLiteral("orders: 0 added, 1 changed, 0 removed on #2")), qPrintable(h.box()));
    QVERIFY2(h.box().contains(QStringLiteral("other: same (1 row)")), qPrintable(h.box()));
    QVERIFY2(!h.box().contains(QStringLiteral("orders: same")), qPrintable(h.box()));
    QVERIFY2(h.box().contains(QStringLiteral("orders: definition differs")), qPrintable(h.box()));
}

void MatchChangesTest::aRefusalStopsWithTheEarlierTransactionsKept_data()
{
    QTest::addColumn<bool>("changes");
    QTest::newRow("an addition refused") << false;
    QTest::newRow("a change refused among those sent together") << true;
}

void MatchChangesTest::aRefusalStopsWithTheEarlierTransactionsKept()
{
    QFETCH(bool, changes);
    ScratchDatabase one(1, QStringLiteral("mmrefuse1"));
    ScratchDatabase two(2, QStringLiteral("mmrefuse2"));
    createOrders(one, 6000);
    createOrders(two, 6000);
    one.exec("CREATE TABLE other (id INT PRIMARY KEY)");
    two.exec("CREATE TABLE other (id INT PRIMARY KEY)");
    one.exec("INSERT INTO other VALUES (1)");
    // 4,500 rows to add or change: three transactions, the third refused at 5100.
    if (changes)
        two.exec("UPDATE orders SET v = 'x' WHERE id BETWEEN 1001 AND 5500");
    else
        two.exec("DELETE FROM orders WHERE id BETWEEN 1001 AND 5500");
    two.exec(std::string("CREATE TRIGGER no_5100 BEFORE ") + (changes ? "UPDATE" : "INSERT")
             + " ON orders FOR EACH ROW IF NEW.id = 5100 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'not this "
               "one'; END IF");
    Harness h;
    h.dialogs.choices.push_back(Change);
    h.match(one, two, {QStringLiteral("orders"), QStringLiteral("other")});
    QVERIFY2(h.box().contains(QStringLiteral("orders: stopped, #2 refused a change (1644 not this one); that "
                                             "transaction was undone; kept from the ones before it: ")
                              + (changes ? QStringLiteral("0 added, 4000 changed") : QStringLiteral("4000 added, 0 changed"))
                              + QStringLiteral(", 0 removed on #2")),
             qPrintable(h.box()));
    QVERIFY2(h.box().contains(QStringLiteral("other: not changed (the change stopped before it)")), qPrintable(h.box()));
    // What still differs is said in short: the compare's log line lists the keys.
    const QString still = changes ? QStringLiteral("orders: rows differ: more than 100 of 6,000 (the first keys 5001 "
                                                   "differs, 5002 differs, 5003 differs, …)")
                                  : QStringLiteral("orders: rows differ: more than 100 of 6,000 on #1 and 5,500 on #2 (the "
                                                   "first keys 5001 only on #1, 5002 only on #1, 5003 only on #1, …)");
    QVERIFY2(h.box().endsWith(still), qPrintable(h.box()));
    QCOMPARE(two.query("SELECT COUNT(*), MAX(id) FROM orders WHERE id BETWEEN 1001 AND 5500 AND v LIKE 'v%'"),
             (Rows{{Cell("4000"), Cell("5000")}}));
    QCOMPARE(two.query("SELECT COUNT(*) FROM other"), (Rows{{Cell("0")}}));
    QVERIFY(h.pane.contents.contains(QStringLiteral("ROLLBACK")));
}

void MatchChangesTest::tablesRowsCannotMendAreSaidAndLeft()
{
    ScratchDatabase one(1, QStringLiteral("mmleft1"));
    ScratchDatabase two(2, QStringLiteral("mmleft2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec("CREATE TABLE nokey (v INT)");
        db->exec("CREATE TABLE fkey (f DOUBLE PRIMARY KEY)");
        db->exec("CREATE TABLE same (id INT PRIMARY KEY)");
        db->exec("INSERT INTO same VALUES (1)");
    }
    one.exec("CREATE TABLE shape (id INT PRIMARY KEY, v INT)");
    two.exec("CREATE TABLE shape (id INT PRIMARY KEY, v BIGINT)");
    one.exec("CREATE TABLE gone (id INT)");
    one.exec("INSERT INTO nokey VALUES (1)");
    one.exec("INSERT INTO fkey VALUES (0.5)");
    const Rows before = two.query("SELECT (SELECT COUNT(*) FROM nokey), (SELECT COUNT(*) FROM fkey)");
    Harness h;
    h.match(one, two, {QStringLiteral("nokey"), QStringLiteral("fkey"), QStringLiteral("same"), QStringLiteral("shape"),
                       QStringLiteral("gone")});
    // Nothing to change: the box says why and offers no change.
    QCOMPARE(h.dialogs.buttons.size(), size_t(0));
    const QString box = h.box();
    QVERIFY2(box.contains(QStringLiteral("\rnokey: no primary key or unique key of NOT NULL columns to find a row by, "
                                         "left alone; Send Complete Table(s) makes it the same")),
             qPrintable(box));
    QVERIFY2(box.contains(QStringLiteral("\rfkey: a key of double values cannot find its rows exactly, left alone")),
             qPrintable(box));
    QVERIFY2(box.contains(QStringLiteral("\rsame: same (1 row)")), qPrintable(box));
    QVERIFY2(box.contains(QStringLiteral("\rshape: definition differs: #1 \"`v` int(11) DEFAULT NULL,\", #2 \"`v` "
                                         "bigint(20) DEFAULT NULL,\"; rows same (0 rows); left alone")),
             qPrintable(box));
    QVERIFY2(box.contains(QStringLiteral("\rgone: missing on #2, so no rows to change; Send Complete Table(s) copies it")),
             qPrintable(box));
    QVERIFY(box.endsWith(QStringLiteral("There is nothing to change.")));
    QCOMPARE(two.query("SELECT (SELECT COUNT(*) FROM nokey), (SELECT COUNT(*) FROM fkey)"), before);
}

void MatchChangesTest::moreRowsThanAWindowAreWalkedToTheEnd_data()
{
    QTest::addColumn<bool>("textKey");
    QTest::newRow("a whole-number key, in its order") << false;
    QTest::newRow("a key of text and a number, in its checksum's order") << true;
}

void MatchChangesTest::moreRowsThanAWindowAreWalkedToTheEnd()
{
    QFETCH(bool, textKey);
    ScratchDatabase one(1, QStringLiteral("mmwindow1"));
    ScratchDatabase two(2, QStringLiteral("mmwindow2"));
    for (const ScratchDatabase *db : {&one, &two}) {
        db->exec(std::string("CREATE TABLE w (code VARCHAR(8) NOT NULL, id INT NOT NULL, v VARCHAR(20), PRIMARY KEY ")
                 + (textKey ? "(code, id))" : "(id))"));
        db->exec("INSERT INTO w SELECT CONCAT('c', seq % 3), seq, CONCAT('v', seq) FROM seq_1_to_3000");
    }
    two.exec("UPDATE w SET v = 'x' WHERE id % 30 = 1");       // 100 to change
    two.exec("DELETE FROM w WHERE id % 30 = 2");              // 100 to add
    two.exec("INSERT INTO w SELECT 'z', seq, NULL FROM seq_5001_to_5100"); // 100 to remove
    const Rows wanted = checksum(one, "w");
    Harness h;
    h.dialogs.choices.push_back(Change);
    transfer::MatchLimits limits;
    limits.windowRows = 40; // 300 differing rows: eight windows
    limits.chunks.rows = 15;
    h.match(one, two, {QStringLiteral("w")}, 1, limits);
    QVERIFY2(h.plan().contains(QStringLiteral("w: more than 40 rows differ; in the first 40: ")), qPrintable(h.plan()));
    QVERIFY2(h.plan().contains(QStringLiteral("the rest are found and changed after them, 40 at a time")), qPrintable(h.plan()));
    QVERIFY2(h.box().contains(QStringLiteral("w: 100 added, 100 changed, 100 removed on #2")), qPrintable(h.box()));
    QVERIFY2(h.box().endsWith(QStringLiteral("w: same (3,000 rows)")), qPrintable(h.box()));
    QCOMPARE(checksum(two, "w"), wanted);
}
QTEST_MAIN(MatchChangesTest)
#include "tst_matchchanges.moc"
