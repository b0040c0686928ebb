// A copy run as a whole: selection, order, overwrite question, failures, bar and pointer.
#include "app/Pointer.h"
#include "connect/Form1.h"
#include "platform/DbConnection.h"
#include "support/CopyHarness.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/shared/TransferRun.h"
#include "ui_Form2.h"

#include <QtTest>

using namespace app;
using namespace connectwindow;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

namespace {

const QString Location = QStringLiteral("in Tabulink2021/08/31.Form2.PushButton3_Click ");

struct Harness : CopyHarness {

    void run(PlainTableList &source, PlainTableList &destination, const ConnectionProfile &from,
             const ConnectionProfile &to)
    {
        runTransfer({source, destination, from, to, Location}, ui());
    }
    QStringList logLines() const
    {
        QStringList lines = pane.contents.split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
};

// Tables with a column v and the given rows.
void createTables(const sandbox::ScratchDatabase &db, std::initializer_list<const char *> names,
                  const std::string &rows = {})
{
    for (const char *name : names) {
        db.exec(std::string("CREATE TABLE ") + name + " (v INT)");
        if (!rows.empty())
            db.exec(std::string("INSERT INTO ") + name + " VALUES " + rows);
    }
}

PlainTableList allSelected(const QStringList &names)
{
    PlainTableList list(names);
    list.select(names);
    return list;
}

} // namespace

class TransferTest : public QObject {
    Q_OBJECT
private slots:
    void noCurrentEntryOnlyAsksForASelection();
    void currentEntryWithoutSelectionSendsNothing();
    void tablesGoLastFirstWithStructureThenRows();
    void overwriteQuestionAnsweredYesAndNo();
    void differentlyCasedNameIsAnotherTable();
    void refusedCreateStopsEveryLaterStatement();
    void afterAFailureNothingIsDroppedThatCannotBeRebuilt();
    void barMovesPerRowAndEndsAtZero();
    void sameDatabaseLeavesTablesAlone();
    void lostSourceEndsTheRunWithOneReport();
    void clicksDuringACopyAreRefused();
};

void TransferTest::noCurrentEntryOnlyAsksForASelection()
{
    Harness h;
    PlainTableList source(QStringList{QStringLiteral("a")});
    source.current = -1;
    PlainTableList destination;
    ConnectionProfile unreachable;
    h.run(source, destination, unreachable, unreachable);
    QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Please select a table.")});
    QCOMPARE(h.dialogs.messages[0].style, 0);
    QVERIFY(h.pointer.history.empty());
    QVERIFY(h.progress.history.empty());
}

void TransferTest::currentEntryWithoutSelectionSendsNothing()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("nosel1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("nosel2"));
    one.exec("CREATE TABLE a (x INT)");
    Harness h;
    PlainTableList source(QStringList{QStringLiteral("a")});
    PlainTableList destination;
    h.run(source, destination, one.profile(), two.profile());
    QVERIFY(h.dialogs.messages.empty());
    QVERIFY(h.pane.contents.isEmpty());
    QCOMPARE(h.pointer.history, (std::vector<int>{pointer::Busy, pointer::Default}));
    QCOMPARE(h.progress.current, 0.0);
    QVERIFY(two.tables().isEmpty());
}

void TransferTest::tablesGoLastFirstWithStructureThenRows()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("order1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("order2"));
    one.exec("CREATE TABLE A (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(50) NOT NULL DEFAULT 'x')");
    one.exec("INSERT INTO A (name) VALUES ('first'), ('second')");
    one.exec("CREATE TABLE B (v enum('a','b'))");
    one.exec("CREATE TABLE C (n INT(10) UNSIGNED)");
    one.exec("INSERT INTO C VALUES (1)");
    Harness h;
    PlainTableList source = allSelected({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    PlainTableList destination(QStringList{QStringLiteral("existing")});
    h.run(source, destination, one.profile(), two.profile());
    QVERIFY(h.dialogs.messages.empty());
    QCOMPARE(destination.names, (QStringList{QStringLiteral("existing"), QStringLiteral("C"), QStringLiteral("B"),
                                             QStringLiteral("A")}));
    QCOMPARE(h.logLines(), (QStringList{QStringLiteral("CREATE TABLE `C`(`n` INT(10) UNSIGNED)"),
                                        QStringLiteral("INSERT INTO `C` VALUES('1')"),
                                        QStringLiteral("CREATE TABLE `B`(`v` ENUM('a','b'))"),
                                        QStringLiteral("CREATE TABLE `A`(`id` INT(11),`name` VARCHAR(50))"),
                                        QStringLiteral("INSERT INTO `A` VALUES('1', 'first')"),
                                        QStringLiteral("INSERT INTO `A` VALUES('2', 'second')")}));
    // The copy carries names and types only: no key, no NOT NULL, no default, no auto-increment.
    const auto describe = two.query("DESCRIBE A");
    QCOMPARE(*describe[0][2], std::string("YES"));
    QCOMPARE(*describe[0][3], std::string(""));
    QVERIFY(!describe[0][4].has_value());
    QCOMPARE(*describe[0][5], std::string(""));
    QCOMPARE(source.names.size(), 3); // the source list is left as it was
    QVERIFY(source.isSelected(0));
}

void TransferTest::overwriteQuestionAnsweredYesAndNo()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("over1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("over2"));
    one.exec("CREATE TABLE t (v VARCHAR(10))");
    one.exec("INSERT INTO t VALUES ('new')");
    two.exec("CREATE TABLE t (old INT)");
    two.exec("INSERT INTO t VALUES (1), (2)");
    PlainTableList source(QStringList{QStringLiteral("t")});
    source.select({QStringLiteral("t")});

    Harness no;
    no.dialogs.answers = {platform::No};
    PlainTableList destination(QStringList{QStringLiteral("t")});
    no.run(source, destination, one.profile(), two.profile());
    QCOMPARE(no.dialogs.messages.size(), size_t(1));
    QCOMPARE(no.dialogs.messages[0].text, QStringLiteral("Would you like to overwrite t?"));
    QCOMPARE(no.dialogs.messages[0].title, QStringLiteral("Overwrite?"));
    QCOMPARE(no.dialogs.messages[0].style, 4);
    QCOMPARE(destination.names, QStringList{QStringLiteral("t")});
    QVERIFY(no.pane.contents.isEmpty());
    QCOMPARE(two.query("SELECT COUNT(*) FROM t")[0][0], sandbox::Cell("2"));

    Harness yes;
    yes.run(source, destination, one.profile(), two.profile());
    QCOMPARE(destination.names, QStringList{QStringLiteral("t")});
    QCOMPARE(two.query("SELECT * FROM t"), (sandbox::Rows{{sandbox::Cell("new")}}));
    QVERIFY(!yes.pane.contents.contains(QStringLiteral("DROP"))); // the drop is not logged
}

void TransferTest::differentlyCasedNameIsAnotherTable()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("case1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("case2"));
    one.exec("CREATE TABLE Users (id INT)");
    one.exec("INSERT INTO Users VALUES (5)");
    two.exec("CREATE TABLE users (id INT)");
    two.exec("INSERT INTO users VALUES (9)");
    Harness h;
    PlainTableList source(QStringList{QStringLiteral("Users")});
    source.select({QStringLiteral("Users")});
    PlainTableList destination(QStringList{QStringLiteral("users")});
    h.run(source, destination, one.profile(), two.profile());
    // The destination tells the two apart (lower_case_table_names = 0): nothing to ask, nothing replaced.
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'|')));
    QCOMPARE(destination.names, (QStringList{QStringLiteral("users"), QStringLiteral("Users")}));
    QCOMPARE(two.query("SELECT id FROM users")[0][0], sandbox::Cell("9"));
    QCOMPARE(two.query("SELECT id FROM Users")[0][0], sandbox::Cell("5"));
}

void TransferTest::refusedCreateStopsEveryLaterStatement()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("refuse1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("refuse2"));
    createTables(one, {"a", "b", "c"}, "(1), (2)");
    two.exec("CREATE TABLE b (other INT)"); // there, but not in the list: CREATE TABLE b is refused
    Harness h;
    PlainTableList source = allSelected({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    PlainTableList destination;
    h.run(source, destination, one.profile(), two.profile());
    const QString error = QStringLiteral("Run-time error: 1050 Table 'b' already exists");
    QCOMPARE(h.logLines(), (QStringList{QStringLiteral("CREATE TABLE `c`(`v` INT(11))"),
                                        QStringLiteral("INSERT INTO `c` VALUES('1')"),
                                        QStringLiteral("INSERT INTO `c` VALUES('2')"),
                                        QStringLiteral("CREATE TABLE `b`(`v` INT(11))"), error}));
    QCOMPARE(h.dialogs.texts(), QStringList{error});
    QCOMPARE(h.supportEnabled, 1);
    QCOMPARE(destination.names, QStringList{QStringLiteral("c")}); // b was not created, a was not sent
    QCOMPARE(two.tables(), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    QCOMPARE(h.progress.current, 0.0);
    QCOMPARE(h.pointer.current, pointer::Default);
}

void TransferTest::afterAFailureNothingIsDroppedThatCannotBeRebuilt()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("keep1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("keep2"));
    createTables(one, {"y", "z"});
    two.exec("CREATE TABLE y (precious INT)");
    two.exec("INSERT INTO y VALUES (42)");
    two.exec("CREATE TABLE z (clash INT)");
    Harness h;
    PlainTableList source = allSelected({QStringLiteral("y"), QStringLiteral("z")});
    PlainTableList destination(QStringList{QStringLiteral("y")}); // z is missing from the list
    h.run(source, destination, one.profile(), two.profile());
    // z's CREATE failed first; y is then neither asked about nor dropped.
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QVERIFY(h.dialogs.messages[0].text.startsWith(QStringLiteral("Run-time error: 1050")));
    QCOMPARE(two.query("SELECT precious FROM y")[0][0], sandbox::Cell("42"));
    QCOMPARE(destination.names, QStringList{QStringLiteral("y")});
}

void TransferTest::barMovesPerRowAndEndsAtZero()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("bar1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("bar2"));
    one.exec("CREATE TABLE four (v INT)");
    one.exec("INSERT INTO four VALUES (1), (2), (3), (4)");
    one.exec("CREATE TABLE none (v INT)");
    Harness h;
    PlainTableList source = allSelected({QStringLiteral("none"), QStringLiteral("four")});
    PlainTableList destination;
    h.run(source, destination, one.profile(), two.profile());
    // "four" goes first; the empty table leaves the bar where it was; the end sets it to 0.
    QCOMPARE(h.progress.history, (std::vector<double>{25, 50, 75, 100, 0}));
    QCOMPARE(two.query("SELECT COUNT(*) FROM none")[0][0], sandbox::Cell("0"));
    QCOMPARE(h.logLines().filter(QStringLiteral("`none`")).size(), 1); // its CREATE TABLE only
}

void TransferTest::sameDatabaseLeavesTablesAlone()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("same"));
    one.exec("CREATE TABLE precious (v INT)");
    one.exec("INSERT INTO precious VALUES (1), (2), (3)");
    one.exec("CREATE TABLE other (v INT)");
    Harness h;
    PlainTableList source = allSelected({QStringLiteral("other"), QStringLiteral("precious")});
    PlainTableList destination = source;
    h.run(source, destination, one.profile(), one.profile());
    QCOMPARE(h.dialogs.texts(), QStringList{sameDatabaseMessage({QStringLiteral("other"), QStringLiteral("precious")})});
    QCOMPARE(one.query("SELECT COUNT(*) FROM precious")[0][0], sandbox::Cell("3"));
    QVERIFY(h.pane.contents.isEmpty());
    QCOMPARE(destination.names, source.names);
}

void TransferTest::lostSourceEndsTheRunWithOneReport()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("lost1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("lost2"));
    createTables(one, {"a", "b", "c"}, "(1), (2), (3)");
    Harness h;
    // Once the first table is under way, the source server drops the copy's connection.
    h.yield.hook = [&](int n) {
        if (n != 2)
            return;
        for (const auto &row : one.query("SELECT id FROM information_schema.processlist WHERE db = '"
                                         + one.name().toStdString() + "' AND id <> CONNECTION_ID()"))
            one.exec("KILL " + *row[0]);
    };
    PlainTableList source = allSelected({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    PlainTableList destination;
    h.run(source, destination, one.profile(), two.profile());
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Application Error"));
    QVERIFY(h.dialogs.messages[0].text.contains(Location));
    QCOMPARE(h.pointer.current, pointer::Default);
    QCOMPARE(h.progress.current, 0.0);
    QVERIFY(destination.count() <= 1); // at most the table that was under way, and only if it exists there
    QCOMPARE(destination.names, two.tables());
}

void TransferTest::clicksDuringACopyAreRefused()
{
    sandbox::ScratchDatabase one(1, QStringLiteral("refused1"));
    sandbox::ScratchDatabase two(2, QStringLiteral("refused2"));
    one.exec("CREATE TABLE t (v INT)");
    one.exec("INSERT INTO t VALUES (1), (2), (3)");
    two.exec("CREATE TABLE keepme (v INT)");
    TestServices t;
    const ProfilesFrom profiles = sandbox::sidesOn(one, two);
    Form2 form(t.services, profiles, [] {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.ui().List1->addItem(QStringLiteral("t"));
    form.ui().List1->item(0)->setSelected(true);
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    form.ui().List2->addItem(QStringLiteral("keepme"));
    form.ui().List2->item(0)->setSelected(true);
    form.ui().List2->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    bool pointerBusy = false;
    t.yield.hook = [&](int n) {
        if (n != 1)
            return;
        pointerBusy = form.pointer().value() == pointer::Busy;
        QTest::mouseClick(form.ui().PushButton9, Qt::LeftButton); // "Delete Table(s)" on side #2
        QTest::mouseClick(form.ui().PushButton2, Qt::LeftButton); // "Deselect All" on side #1
    };
    QTest::mouseClick(form.ui().PushButton3, Qt::LeftButton);
    t.runStarted(); // the refused clicks must not have been kept for later either
    QVERIFY(pointerBusy);
    QCOMPARE(two.tables(), (QStringList{QStringLiteral("keepme"), QStringLiteral("t")}));
    QCOMPARE(two.query("SELECT COUNT(*) FROM t")[0][0], sandbox::Cell("3"));
    QVERIFY(form.ui().List1->item(0)->isSelected());
    QCOMPARE(form.pointer().value(), pointer::Default);
    QCOMPARE(form.ui().ProgressBar1->value(), 0);
}

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
