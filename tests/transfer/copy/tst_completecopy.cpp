// "Send Complete Table(s)" against the real servers: the whole table, in bulk, verified, swapped
// in only when whole. Some cases change server-wide settings, so this suite runs alone.
#include "platform/ProgramEnding.h"
#include "platform/SqlQuoting.h"
#include "support/CopyHarness.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "support/SlowLink.h"
#include "support/TestServices.h"
#include "tables/Form2.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/copy/CopyReport.h"
#include "ui_Form2.h"

#include <QMenu>
#include <QRegularExpression>
#include <QtTest>

#include <optional>

using namespace transfer;

using sandbox::Cell;
using sandbox::GlobalSetting;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

// Complete copies.
struct Harness : CopyHarness {
    void copy(const ScratchDatabase &from, const ScratchDatabase &to, const QStringList &tables)
    {
        CopyHarness::copy(from, to, tables, runCompleteTransfer);
    }
};

std::string showCreate(const ScratchDatabase &db, const std::string &table)
{
    return *db.query("SHOW CREATE TABLE " + platform::backquoted(QString::fromStdString(table)).toStdString())[0][1];
}


void createKeyedTable(const ScratchDatabase &db)
{
    db.exec("CREATE TABLE keyed (id INT NOT NULL AUTO_INCREMENT, code CHAR(4) NOT NULL, "
            "name VARCHAR(40) CHARACTER SET latin1 NOT NULL DEFAULT 'nobody' COMMENT 'who', "
            "made DATETIME DEFAULT '2000-01-01 00:00:00', n INT, PRIMARY KEY (id), UNIQUE KEY code (code), "
            "KEY by_name (name, n)) ENGINE=InnoDB AUTO_INCREMENT=50 COMMENT='kept whole'");
    db.exec("INSERT INTO keyed (code, name, n) VALUES ('a', 'Ó Briain', 1), ('b', DEFAULT, NULL), ('c', '', 3)");
    db.exec("CREATE TRIGGER keyed_upper BEFORE INSERT ON keyed FOR EACH ROW SET NEW.code = UPPER(NEW.code)");
}

void createOldTable(const ScratchDatabase &db)
{
    db.exec("CREATE TABLE keyed (old INT)");
    db.exec("INSERT INTO keyed VALUES (7), (8), (9)");
}

void verifyOldTableIntact(const ScratchDatabase &db)
{
    QCOMPARE(db.tables(), QStringList{QStringLiteral("keyed")});
    QCOMPARE(db.query("SELECT old FROM keyed ORDER BY old"), (Rows{{Cell("7")}, {Cell("8")}, {Cell("9")}}));
    QCOMPARE(copyLeftovers(db), Rows{});
}

} // namespace

class CompleteCopyTest : public QObject {
    Q_OBJECT
private slots:
    void keyedTableArrivesWhole();
    void historyGoesAsInsertsToo();
    void foreignKeysInEitherOrder();
    void lostSourceHalfwayKeepsTheOldTable();
    void closingDuringTheLoadEndsItCleanly_data();
    void closingDuringTheLoadEndsItCleanly();
    void mutationBeforeVerificationIsCaught();
    void aPartThatDiffersIsNamed();
    void aFarServerTakesFewerParts();
    void theLastPartIsMadeSmall();
    void theSameDatabaseUnderAnotherNameIsLeftAlone();
    void destinationWithoutLocalInfileGetsInserts();
    void viewGoesAsThePlainCopySendsIt();
    void menusOfferBothSends();
};

void CompleteCopyTest::keyedTableArrivesWhole()
{
    ScratchDatabase one(1, QStringLiteral("cc1"));
    ScratchDatabase two(2, QStringLiteral("cc2"));
    createKeyedTable(one);
    Harness h;
    h.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(showCreate(two, "keyed"), showCreate(one, "keyed")); // keys, defaults, charsets, AUTO_INCREMENT
    const std::string rows = "SELECT id, HEX(code), HEX(name), made, n FROM keyed ORDER BY id";
    QCOMPARE(two.query(rows), one.query(rows));
    // The trigger came along, and works on the copy.
    two.exec("INSERT INTO keyed (code) VALUES ('d')");
    QCOMPARE(two.query("SELECT id, code FROM keyed WHERE code = 'D'"), (Rows{{Cell("53"), Cell("D")}}));
    QVERIFY(two.query("SHOW CREATE TRIGGER keyed_upper")[0][2]->find("DEFINER=`root`") == std::string::npos);
    // The log: the statement heads and a line for the table, never the rows.
    QVERIFY(h.pane.contents.contains(QStringLiteral("LOAD DATA LOCAL INFILE")));
    QVERIFY(h.pane.contents.contains(QStringLiteral("-- keyed: 3 rows, ")));
    QVERIFY(h.pane.contents.contains(QStringLiteral(", verified in 1 key range\r\n")));
    // The trigger's definer stayed behind, and the log says so.
    QVERIFY2(h.pane.contents.contains(QStringLiteral("-- keyed: trigger made: `keyed_upper`; it runs with the rights of "
                                                     "the destination's login that made it, not of a definer")),
             qPrintable(h.pane.contents.right(600)));
    QVERIFY(!h.pane.contents.contains(QStringLiteral("Briain")));
    QCOMPARE(copyLeftovers(two), Rows{});
    QCOMPARE(h.destination.names, QStringList{QStringLiteral("keyed")});
    QCOMPARE(h.progress.current, 0.0);
}

void CompleteCopyTest::foreignKeysInEitherOrder()
{
    for (const QStringList &order : {QStringList{QStringLiteral("child"), QStringLiteral("parent")},
                                     QStringList{QStringLiteral("parent"), QStringLiteral("child")}}) {
        ScratchDatabase one(1, QStringLiteral("fk1"));
        ScratchDatabase two(2, QStringLiteral("fk2"));
        one.exec("CREATE TABLE parent (id INT PRIMARY KEY)");
        one.exec("CREATE TABLE child (id INT PRIMARY KEY, parent_id INT, "
                 "CONSTRAINT child_parent FOREIGN KEY (parent_id) REFERENCES parent (id) ON DELETE CASCADE)");
        one.exec("INSERT INTO parent VALUES (1), (2)");
        one.exec("INSERT INTO child VALUES (10, 1), (20, 2)");
        Harness h;
        h.copy(one, two, order);
        QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
        QCOMPARE(showCreate(two, "child"), showCreate(one, "child"));
        two.exec("DELETE FROM parent WHERE id = 1"); // the constraint is live
        QCOMPARE(two.query("SELECT id FROM child"), (Rows{{Cell("20")}}));
    }
}

void CompleteCopyTest::lostSourceHalfwayKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("cclost1"));
    ScratchDatabase two(2, QStringLiteral("cclost2"));
    one.exec("CREATE TABLE keyed (id INT PRIMARY KEY, v MEDIUMTEXT)");
    one.exec("INSERT INTO keyed SELECT seq, REPEAT('x', 20000) FROM seq_1_to_3000"); // 60 MB
    createOldTable(two);
    const std::string ownId = *one.query("SELECT CONNECTION_ID()")[0][0];
    Harness h;
    bool killed = false;
    h.yield.hook = [&](int) {
        if (killed || h.progress.current < 40)
            return;
        killed = true;
        const auto stream = one.query("SELECT id FROM information_schema.processlist WHERE db = '"
                                      + one.name().toStdString() + "' AND id <> " + ownId
                                      + " AND info LIKE 'SELECT `id`%'");
        QCOMPARE(stream.size(), size_t(1));
        sandbox::execOnServer(1, "KILL CONNECTION " + *stream[0][0]);
    };
    h.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY(killed);
    const QStringList texts = h.dialogs.texts();
    QCOMPARE(texts.size(), 2); // the question, and one summary for the run, with the reason
    QVERIFY2(texts[1].startsWith(QStringLiteral("Copied complete: none.\r\rNot copied: keyed (20")), qPrintable(texts[1]));
    QVERIFY2(h.pane.contents.contains(QStringLiteral("Run-time error: 20")) && h.pane.contents.contains(QStringLiteral(" keyed: ")),
             qPrintable(h.pane.contents.right(500)));
    verifyOldTableIntact(two);
}

void CompleteCopyTest::closingDuringTheLoadEndsItCleanly_data()
{
    QTest::addColumn<bool>("localInfile");
    QTest::addColumn<QString>("sending");
    QTest::newRow("LOAD DATA") << true << QStringLiteral("LOAD DATA LOCAL INFILE");
    // Refused LOAD DATA LOCAL: an INSERT is on its way while the next is made.
    QTest::newRow("INSERT") << false << QStringLiteral("INSERT INTO `tabulink_new");
}

// The window is closed while the rows are being fed to the destination: the old table stays as
// it was, and no half-built copy is left behind.
void CompleteCopyTest::closingDuringTheLoadEndsItCleanly()
{
    QFETCH(bool, localInfile);
    QFETCH(QString, sending);
    std::optional<GlobalSetting> local;
    if (!localInfile)
        local.emplace(2, "local_infile", "0");
    ScratchDatabase one(1, QStringLiteral("ccclose1"));
    ScratchDatabase two(2, QStringLiteral("ccclose2"));
    one.exec("CREATE TABLE keyed (id INT PRIMARY KEY, v VARCHAR(100))");
    one.exec("INSERT INTO keyed SELECT seq, REPEAT('v', 100) FROM seq_1_to_40000");
    createOldTable(two);
    Harness h;
    h.yield.hook = [&](int) {
        if (h.progress.current >= 50)
            throw platform::ProgramEnding();
    };
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, h.copy(one, two, {QStringLiteral("keyed")}));
    QVERIFY(h.pane.contents.contains(sending));
    verifyOldTableIntact(two);
    QCOMPARE(copyLeftovers(two), Rows{});
}

// Without a key to range over, the whole copy is checked once every row is in.
void CompleteCopyTest::mutationBeforeVerificationIsCaught()
{
    ScratchDatabase one(1, QStringLiteral("ccmut1"));
    ScratchDatabase two(2, QStringLiteral("ccmut2"));
    one.exec("CREATE TABLE keyed (id INT, n INT)");
    one.exec("INSERT INTO keyed VALUES (1, 1), (2, NULL), (50, 3)");
    createOldTable(two);
    Harness h;
    bool changed = false;
    // The first yield with every row sent is the one before the check: change one cell there.
    h.yield.hook = [&](int) {
        if (changed || h.progress.current < 100)
            return;
        changed = true;
        const Rows building = copyLeftovers(two);
        QCOMPARE(building.size(), size_t(1));
        two.exec("UPDATE `" + *building[0][0] + "` SET n = 99 WHERE id = 50");
    };
    h.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY(changed);
    const QStringList expected{QStringLiteral("Would you like to overwrite keyed?"),
                               completeCopySummary({}, {QStringLiteral("keyed (the copy does not match the source (3 rows "
                                                                       "here, 3 there): it was not put in place)")})};
    QCOMPARE(h.dialogs.texts(), expected);
    verifyOldTableIntact(two);
}

// A keyed table is checked part by part while the next part loads; a row of the source that
// changed after it was read shows in its part, which the box names.
void CompleteCopyTest::aPartThatDiffersIsNamed()
{
    ScratchDatabase one(1, QStringLiteral("ccpart1"));
    ScratchDatabase two(2, QStringLiteral("ccpart2"));
    // About 9.5 MB as the load sends it: two parts, the second (the last, made small) from near
    // row 70,000.
    one.exec("CREATE TABLE keyed (id INT PRIMARY KEY, v VARCHAR(100))");
    one.exec("INSERT INTO keyed SELECT seq, REPEAT('v', 100) FROM seq_1_to_90000");
    createOldTable(two);
    Harness h;
    bool changed = false;
    h.yield.hook = [&](int) {
        if (changed || h.progress.current < 95) // row 85,500 is being read
            return;
        changed = true;
        one.exec("UPDATE keyed SET v = 'changed' WHERE id = 85000");
    };
    h.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY(changed);
    const QString texts = h.dialogs.texts().join(u'\n');
    QVERIFY2(texts.contains(QStringLiteral("keyed (the copy does not match the source in keys "))
                 && texts.contains(QStringLiteral(" (not included) to 90000 and beyond (")),
             qPrintable(texts));
    verifyOldTableIntact(two);
    // Unchanged, it arrives, checked in its two parts, the last with the keys beyond it.
    one.exec("UPDATE keyed SET v = REPEAT('v', 100) WHERE id = 85000");
    Harness again;
    again.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY(again.pane.contents.contains(QStringLiteral(", verified in 2 key ranges\r\n")));
    QCOMPARE(two.query("SELECT COUNT(*), SUM(CRC32(v)) FROM keyed"), one.query("SELECT COUNT(*), SUM(CRC32(v)) FROM keyed"));

    // A row the source gains above the last key, once the rows are being read, shows in the last part.
    Harness grown;
    bool added = false;
    grown.yield.hook = [&](int) {
        if (added || grown.progress.current < 99)
            return;
        added = true;
        one.exec("INSERT INTO keyed VALUES (90001, 'late')");
    };
    grown.copy(one, two, {QStringLiteral("keyed")});
    QVERIFY(added);
    const QString grownTexts = grown.dialogs.texts().join(u'\n');
    QVERIFY2(grownTexts.contains(QStringLiteral(" (not included) to 90000 and beyond (")), qPrintable(grownTexts));
    QVERIFY2(grownTexts.contains(QStringLiteral(" there): it was not put in place")), qPrintable(grownTexts));
    QCOMPARE(two.query("SELECT COUNT(*) FROM keyed WHERE id > 90000"), Rows{{Cell("0")}});
}

// Each part costs two round trips more: the 9.5 MB that make two parts for a server close by go in
// one to a server 8 ms away, and arrive the same.
void CompleteCopyTest::aFarServerTakesFewerParts()
{
    ScratchDatabase one(1, QStringLiteral("ccfar1"));
    ScratchDatabase two(2, QStringLiteral("ccfar2"));
    one.exec("CREATE TABLE keyed (id INT PRIMARY KEY, v VARCHAR(100))");
    one.exec("INSERT INTO keyed SELECT seq, CONCAT(seq, REPEAT('v', 95)) FROM seq_1_to_90000");
    sides::ConnectionProfile far = two.profile();
    SlowLink link(far.server, far.port.toInt(), std::chrono::milliseconds(4));
    far.port = QString::number(link.port());
    Harness h;
    PlainTableList source({QStringLiteral("keyed")});
    source.select({QStringLiteral("keyed")});
    runCompleteTransfer({source, h.destination, one.profile(), far, QStringLiteral("in test ")}, h.ui());
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QVERIFY2(h.pane.contents.contains(QStringLiteral(", verified in 1 key range\r\n")), qPrintable(h.lastLogLine()));
    const std::string digest = "SELECT COUNT(*), SUM(CRC32(CONCAT(id, v))) FROM keyed";
    QCOMPARE(two.query(digest), one.query(digest));
    QCOMPARE(copyLeftovers(two), Rows{});
}

// Nothing overlaps the last part's check: 27 MB go as a part of 16 MiB, one of about 9 MB and a
// last one of 2 MiB, instead of 16 MiB and 11 MB; 6 MB, as 4 MB and 2 MiB, once the source's row
// count has come in during the first part.
void CompleteCopyTest::theLastPartIsMadeSmall()
{
    ScratchDatabase one(1, QStringLiteral("cclast1"));
    ScratchDatabase two(2, QStringLiteral("cclast2"));
    one.exec("CREATE TABLE keyed (id INT PRIMARY KEY, v VARCHAR(110))");
    one.exec("INSERT INTO keyed SELECT seq, CONCAT(seq, REPEAT('v', 95)) FROM seq_1_to_256000");
    one.exec("CREATE TABLE single LIKE keyed");
    one.exec("INSERT INTO single SELECT * FROM keyed WHERE id <= 60000");
    Harness h;
    h.copy(one, two, {QStringLiteral("keyed"), QStringLiteral("single")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    const QString log = h.pane.contents;
    const QRegularExpression keyed(QStringLiteral("-- keyed: 256000 rows, [^\r]*, verified in 3 key ranges\r\n"));
    const QRegularExpression single(QStringLiteral("-- single: 60000 rows, [^\r]*, verified in 2 key ranges\r\n"));
    QVERIFY2(log.contains(keyed) && log.contains(single), qPrintable(log.right(400)));
    QCOMPARE(log.count(QStringLiteral("LOAD DATA LOCAL INFILE")), 5);
    const std::string digest = "SELECT COUNT(*), SUM(CRC32(CONCAT(id, v))) FROM ";
    QCOMPARE(two.query(digest + "keyed"), one.query(digest + "keyed"));
    QCOMPARE(two.query(digest + "single"), one.query(digest + "single"));
}

// The table would be dropped and made again from itself: left alone, and said so.
void CompleteCopyTest::theSameDatabaseUnderAnotherNameIsLeftAlone()
{
    ScratchDatabase one(1, QStringLiteral("ccsame"));
    createKeyedTable(one);
    sides::ConnectionProfile other = one.profile();
    other.server = QStringLiteral("localhost"); // the same server, reached by another name
    Harness h;
    PlainTableList source({QStringLiteral("keyed")});
    source.select({QStringLiteral("keyed")});
    PlainTableList destination({QStringLiteral("keyed")});
    runCompleteTransfer({source, destination, one.profile(), other, QStringLiteral("in test ")}, h.ui());
    QCOMPARE(h.dialogs.texts(), QStringList{sameDatabaseMessage({QStringLiteral("keyed")})});
    QCOMPARE(one.query("SELECT COUNT(*) FROM keyed"), Rows{{Cell("3")}});
    QCOMPARE(copyLeftovers(one), Rows{});
    QVERIFY(!h.pane.contents.contains(QStringLiteral("CREATE TABLE")));
}

void CompleteCopyTest::destinationWithoutLocalInfileGetsInserts()
{
    GlobalSetting local(2, "local_infile", "0"); // as MySQL 8 ships
    ScratchDatabase one(1, QStringLiteral("ccins1"));
    ScratchDatabase two(2, QStringLiteral("ccins2"));
    createKeyedTable(one);
    one.exec("CREATE TABLE bytes (id INT PRIMARY KEY, b VARBINARY(300), t TEXT)");
    std::string all = "INSERT INTO bytes VALUES (1, X'";
    for (int i = 0; i < 256; ++i)
        all += QByteArray(1, static_cast<char>(i)).toHex().toUpper().toStdString();
    one.exec(all + "', 'tab\\there, line\\nthere, back\\\\slash'), (2, NULL, ''), (3, X'', NULL)");
    Harness h;
    h.copy(one, two, {QStringLiteral("keyed"), QStringLiteral("bytes")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QVERIFY(h.pane.contents.contains(QStringLiteral("INSERT INTO `tabulink_new")));
    QVERIFY(h.pane.contents.contains(QStringLiteral("(INSERT: the server refuses LOAD DATA LOCAL)")));
    QCOMPARE(showCreate(two, "keyed"), showCreate(one, "keyed"));
    const std::string rows = "SELECT id, HEX(b), b IS NULL, HEX(t), t IS NULL FROM bytes ORDER BY id";
    QCOMPARE(two.query(rows), one.query(rows));
    QCOMPARE(two.query("SELECT HEX(name) FROM keyed ORDER BY id"), one.query("SELECT HEX(name) FROM keyed ORDER BY id"));
}

// A system-versioned table's every version, with its times, by INSERT where LOAD is refused.
void CompleteCopyTest::historyGoesAsInsertsToo()
{
    GlobalSetting local(2, "local_infile", "0");
    ScratchDatabase one(1, QStringLiteral("cchist1"));
    ScratchDatabase two(2, QStringLiteral("cchist2"));
    one.exec("CREATE TABLE h (id INT PRIMARY KEY, v VARCHAR(10)) WITH SYSTEM VERSIONING");
    one.exec("INSERT INTO h VALUES (1, 'first'), (2, 'kept')");
    one.exec("UPDATE h SET v = 'second' WHERE id = 1");
    Harness h;
    h.copy(one, two, {QStringLiteral("h")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QVERIFY(h.pane.contents.contains(QStringLiteral("(INSERT: the server refuses LOAD DATA LOCAL)")));
    const std::string versions = "SELECT id, v, UNIX_TIMESTAMP(row_start), IF(row_end > NOW(6), 'current', "
                                 "UNIX_TIMESTAMP(row_end)) FROM h FOR SYSTEM_TIME ALL ORDER BY id, row_start";
    QCOMPARE(two.query(versions), one.query(versions));
    QCOMPARE(two.query("SELECT id, v FROM h ORDER BY id"), one.query("SELECT id, v FROM h ORDER BY id"));
}

void CompleteCopyTest::viewGoesAsThePlainCopySendsIt()
{
    ScratchDatabase one(1, QStringLiteral("ccview1"));
    ScratchDatabase two(2, QStringLiteral("ccview2"));
    one.exec("CREATE TABLE base (v INT)");
    one.exec("INSERT INTO base VALUES (1), (2)");
    one.exec("CREATE VIEW doubled AS SELECT v * 2 AS w FROM base");
    Harness h;
    h.copy(one, two, {QStringLiteral("doubled")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QVERIFY(h.pane.contents.contains(QStringLiteral("-- doubled: a view")));
    QVERIFY(h.pane.contents.contains(QStringLiteral("CREATE TABLE `doubled`(`w` BIGINT(12))")));
    QCOMPARE(two.query("SELECT w FROM doubled ORDER BY w"), (Rows{{Cell("2")}, {Cell("4")}}));
}

void CompleteCopyTest::menusOfferBothSends()
{
    ScratchDatabase one(1, QStringLiteral("ccmenu1"));
    ScratchDatabase two(2, QStringLiteral("ccmenu2"));
    createKeyedTable(one);
    TestServices t;
    const ProfilesFrom profiles = sandbox::sidesOn(one, two);
    tableswindow::Form2 form(t.services, profiles, [] {});
    for (int side : {1, 2}) {
        const QString to = side == 1 ? QStringLiteral("MySQL #2") : QStringLiteral("MySQL #1");
        std::unique_ptr<QMenu> menu(form.sendMenu(side));
        QCOMPARE(menu->actions().size(), 4);
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Send Table(s) to ") + to);
        QCOMPARE(menu->actions()[1]->text(), QStringLiteral("Send Complete Table(s) to ") + to);
    }
    for (QWidget *w : {static_cast<QWidget *>(form.ui().List1), static_cast<QWidget *>(form.ui().PushButton3),
                       static_cast<QWidget *>(form.ui().List2), static_cast<QWidget *>(form.ui().PushButton8)})
        QCOMPARE(w->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(form.ui().PushButton3->toolTip().contains(QStringLiteral("Right-click")));
    QVERIFY(form.ui().PushButton8->toolTip().contains(QStringLiteral("Right-click")));
    // The complete entry of side #1 copies the selected table whole.
    form.ui().List1->addItem(QStringLiteral("keyed"));
    form.PushButton1_Click();
    form.ui().List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    std::unique_ptr<QMenu> menu(form.sendMenu(1));
    menu->actions()[1]->trigger();
    t.runStarted();
    QVERIFY2(t.dialogs.messages.empty(), qPrintable(t.dialogs.texts().join(u'\n')));
    QCOMPARE(showCreate(two, "keyed"), showCreate(one, "keyed"));
    QCOMPARE(form.ui().List2->count(), 1);
    // The plain entry does what the button does: the overwrite question, then columns and rows only.
    menu->actions()[0]->trigger();
    t.runStarted();
    QCOMPARE(t.dialogs.texts().last(), QStringLiteral("Would you like to overwrite keyed?"));
    QVERIFY(showCreate(two, "keyed").find("PRIMARY KEY") == std::string::npos);
}

QTEST_MAIN(CompleteCopyTest)
#include "tst_completecopy.moc"
