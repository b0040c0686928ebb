// Filling a table list from a server, and the silent probe.
#include "tableops/TableListing.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"

#include <QtTest>

using namespace app;
using namespace sides;
using namespace tableops;
using namespace transfer;

class TableListingTest : public QObject {
    Q_OBJECT
private slots:
    void emptyDatabaseLeavesAnEmptyListWithNoCurrentEntry();
    void oneTableIsTheCurrentEntry();
    void namesArriveExactlyAsTheServerSpellsThem();
    void listingTwiceGivesOneCopyOfEachName();
    void oneYieldPerName();
    void badLoginIsReportedOnceWithTheListingsLocation();
    void probeAnswersWithoutABox();
};

void TableListingTest::emptyDatabaseLeavesAnEmptyListWithNoCurrentEntry()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("empty"));
    PlainTableList list(QStringList{QStringLiteral("stale")});
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentIndex(), -1);
    QVERIFY(dialogs.messages.empty());
}

void TableListingTest::oneTableIsTheCurrentEntry()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("one"));
    scratch.exec("CREATE TABLE orders (id INT)");
    PlainTableList list;
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    QCOMPARE(list.names, QStringList{QStringLiteral("orders")});
    QCOMPARE(list.currentIndex(), 0);
    QVERIFY(!list.isSelected(0));
}

void TableListingTest::namesArriveExactlyAsTheServerSpellsThem()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("names"));
    scratch.exec("CREATE TABLE `Order Lines` (id INT)");
    scratch.exec("CREATE TABLE `MixedCase` (id INT)");
    scratch.exec("CREATE TABLE `tick``name` (id INT)");
    scratch.exec("CREATE TABLE `日本語` (id INT)");
    PlainTableList list;
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    QStringList names = list.names;
    names.sort();
    QStringList expected{QStringLiteral("MixedCase"), QStringLiteral("Order Lines"), QStringLiteral("tick`name"),
                         QStringLiteral("日本語")};
    expected.sort();
    QCOMPARE(names, expected);
}

void TableListingTest::listingTwiceGivesOneCopyOfEachName()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("twice"));
    scratch.exec("CREATE TABLE a (id INT)");
    scratch.exec("CREATE TABLE b (id INT)");
    PlainTableList list;
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    QCOMPARE(list.count(), 2);
}

void TableListingTest::oneYieldPerName()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("yields"));
    for (int i = 0; i < 5; ++i)
        scratch.exec("CREATE TABLE t" + std::to_string(i) + " (id INT)");
    PlainTableList list;
    FakeDialogs dialogs;
    FakeYield yield;
    int countWhenFirstYielded = -1;
    yield.hook = [&](int n) {
        if (n == 1)
            countWhenFirstYielded = list.count();
    };
    addTablesToMySQLList(list, scratch.profile(), dialogs, yield);
    QCOMPARE(yield.count, 5);
    QCOMPARE(countWhenFirstYielded, 0); // cleared before the names arrive
}

void TableListingTest::badLoginIsReportedOnceWithTheListingsLocation()
{
    ConnectionProfile bad = sandbox::serverProfile(1);
    bad.password = QStringLiteral("wrong");
    PlainTableList list(QStringList{QStringLiteral("old")});
    FakeDialogs dialogs;
    FakeYield yield;
    addTablesToMySQLList(list, bad, dialogs, yield);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(dialogs.messages[0].text.contains(
        QStringLiteral("\r\nin Tabulink2021/08/31.MySQL.AddTablesToMySQLList at line ")));
    QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("Access denied")));
    QCOMPARE(list.count(), 0); // names from another database must not linger
}

void TableListingTest::probeAnswersWithoutABox()
{
    QVERIFY(canConnectToMySQL(sandbox::serverProfile(2)));
    ConnectionProfile bad = sandbox::serverProfile(2);
    bad.password = QStringLiteral("wrong");
    QVERIFY(!canConnectToMySQL(bad));
    bad = sandbox::serverProfile(2, QStringLiteral("no_such_database"));
    QVERIFY(!canConnectToMySQL(bad));
}

QTEST_GUILESS_MAIN(TableListingTest)
#include "tst_tablelisting.moc"
