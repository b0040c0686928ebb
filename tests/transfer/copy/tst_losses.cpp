// What both copies must not lose where servers differ from the plain case: names that differ only
// in letter case, triggers the destination refuses, a slow destination, an ENUM's error value,
// a temporary name already taken, foreign keys that cannot be added.
#include "platform/DbConnection.h"
#include "support/CopyHarness.h"
#include "support/Sandbox.h"
#include "support/SlowLink.h"
#include "transfer/copy/CompleteCopy.h"
#include "transfer/copy/CopyReport.h"

#include <QtTest>

#include <atomic>
#include <thread>

using namespace transfer;
using sandbox::Cell;
using sandbox::GlobalSetting;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

const QString Location = QStringLiteral("in test ");

CopyHarness::Run runOf(const QString &kind) { return kind == QLatin1String("complete") ? CopyHarness::Run(runCompleteTransfer) : CopyHarness::Run(runTransfer); }


void addKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("plain") << QStringLiteral("plain");
    QTest::newRow("complete") << QStringLiteral("complete");
}

} // namespace

class LossesTest : public QObject {
    Q_OBJECT
private slots:
    void namesThatDifferInCaseAreTwoTables_data();
    void namesThatDifferInCaseAreTwoTables();
    void refusedTriggerLeavesTheOldTable();
    void triggerOfTheSameNameTakesTheOldOnesPlace();
    void refusedForeignKeyIsNamedAndItsTableCopied();
    void slowDestinationDoesNotLoseTheSource_data();
    void slowDestinationDoesNotLoseTheSource();
    void enumErrorValueArrivesAsItWas_data();
    void enumErrorValueArrivesAsItWas();
    void valueThatDoesNotFitIsStillRefused();
    void takenTemporaryNameIsNotDropped();
};

void LossesTest::namesThatDifferInCaseAreTwoTables_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("holdsUsers");
    for (const char *kind : {"plain", "complete"})
        for (const bool holds : {false, true})
            QTest::addRow("%s, %s", kind, holds ? "into one that holds users" : "into an empty database")
                << QString::fromLatin1(kind) << holds;
}

void LossesTest::namesThatDifferInCaseAreTwoTables()
{
    QFETCH(QString, kind);
    QFETCH(bool, holdsUsers);
    ScratchDatabase one(1, QStringLiteral("case1"));
    ScratchDatabase two(2, QStringLiteral("case2"));
    QCOMPARE(two.query("SELECT @@lower_case_table_names")[0][0], Cell("0"));
    one.exec("CREATE TABLE Users (a INT, b VARCHAR(5))");
    one.exec("INSERT INTO Users VALUES (1, 'U')");
    one.exec("CREATE TABLE users (x INT)");
    one.exec("INSERT INTO users VALUES (7)");
    if (holdsUsers) {
        two.exec("CREATE TABLE users (old INT)");
        two.exec("INSERT INTO users VALUES (99)");
    }
    CopyHarness h;
    h.copy(one, two, {QStringLiteral("Users"), QStringLiteral("users")}, runOf(kind));

    // Only users is asked about, and only when the destination has it.
    const QStringList expected =
        holdsUsers ? QStringList{QStringLiteral("Would you like to overwrite users?")} : QStringList{};
    QCOMPARE(h.dialogs.texts(), expected);
    QCOMPARE(two.tables(), (QStringList{QStringLiteral("Users"), QStringLiteral("users")}));
    QCOMPARE(two.query("SELECT a, b FROM Users"), (Rows{{Cell("1"), Cell("U")}}));
    QCOMPARE(two.query("SELECT * FROM users"), (Rows{{Cell("7")}}));
    QStringList listed = h.destination.names;
    listed.sort();
    QCOMPARE(listed, (QStringList{QStringLiteral("Users"), QStringLiteral("users")}));
    QVERIFY(copyLeftovers(two).empty());
}

void LossesTest::refusedTriggerLeavesTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("trg1"));
    ScratchDatabase two(2, QStringLiteral("trg2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v INT)");
    one.exec("INSERT INTO t VALUES (1, 1), (2, 2)");
    one.exec("CREATE TRIGGER t_bi BEFORE INSERT ON t FOR EACH ROW SET NEW.v = NEW.v + 1");
    two.exec("CREATE TABLE t (id INT, old VARCHAR(5))");
    two.exec("INSERT INTO t VALUES (9, 'old')");
    // A login that may do everything in the destination database but make triggers, as on many hosts.
    const std::string database = "`" + two.name().toStdString() + "`.*";
    two.exec("CREATE USER IF NOT EXISTS 'notrigger'@'%' IDENTIFIED BY 'no-trigger'");
    two.exec("GRANT ALL ON " + database + " TO 'notrigger'@'%'");
    two.exec("REVOKE TRIGGER ON " + database + " FROM 'notrigger'@'%'");
    struct DropUser {
        const ScratchDatabase &db;
        ~DropUser() { db.exec("DROP USER IF EXISTS 'notrigger'@'%'"); }
    } dropUser{two};
    sides::ConnectionProfile restricted = two.profile();
    restricted.user = QStringLiteral("notrigger");
    restricted.password = QStringLiteral("no-trigger");

    CopyHarness h;
    PlainTableList source(QStringList{QStringLiteral("t")});
    source.select({QStringLiteral("t")});
    h.destination = PlainTableList(QStringList{QStringLiteral("t")});
    runCompleteTransfer({source, h.destination, one.profile(), restricted, Location}, h.ui());

    const QStringList texts = h.dialogs.texts();
    QCOMPARE(texts.size(), 2); // the question, and the one summary with the server's reason
    QVERIFY2(texts[1].startsWith(QStringLiteral("Copied complete: none.\r\rNot copied: t (1142 TRIGGER command denied")),
             qPrintable(texts[1]));
    QVERIFY(h.pane.contents.contains(QStringLiteral("Run-time error: 1142 t: TRIGGER command denied")));
    // Exactly as before the copy: the old table under its name, its rows, no trigger, nothing of the copy.
    QCOMPARE(two.query("SELECT * FROM t"), (Rows{{Cell("9"), Cell("old")}}));
    QVERIFY(two.query("SHOW TRIGGERS").empty());
    QVERIFY(copyLeftovers(two).empty());
    QCOMPARE(h.destination.names, QStringList{QStringLiteral("t")});
}

void LossesTest::triggerOfTheSameNameTakesTheOldOnesPlace()
{
    ScratchDatabase one(1, QStringLiteral("trgsame1"));
    ScratchDatabase two(2, QStringLiteral("trgsame2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY, v INT)");
    one.exec("INSERT INTO t VALUES (1, 1)");
    one.exec("CREATE TRIGGER t_bi BEFORE INSERT ON t FOR EACH ROW SET NEW.v = NEW.v + 1");
    // The destination's own t has a trigger of that name: trigger names are the database's.
    two.exec("CREATE TABLE t (id INT, old VARCHAR(5))");
    two.exec("CREATE TRIGGER t_bi BEFORE INSERT ON t FOR EACH ROW SET NEW.old = 'trg'");
    two.exec("INSERT INTO t VALUES (9, 'old')");
    CopyHarness h;
    h.copy(one, two, {QStringLiteral("t")}, runCompleteTransfer);
    QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Would you like to overwrite t?")});
    QCOMPARE(two.query("SELECT id, v FROM t"), (Rows{{Cell("1"), Cell("1")}}));
    two.exec("INSERT INTO t VALUES (2, 2)");
    QCOMPARE(two.query("SELECT v FROM t WHERE id = 2"), (Rows{{Cell("3")}})); // the source's trigger works
    QCOMPARE(two.query("SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE()"),
             (Rows{{Cell("1")}}));
    // Made on the copy before it moved into place.
    const QString log = h.pane.contents;
    QVERIFY2(log.indexOf(QStringLiteral("CREATE TRIGGER")) < log.indexOf(QStringLiteral("RENAME TABLE")), qPrintable(log));
    QVERIFY(copyLeftovers(two).empty());
}

void LossesTest::refusedForeignKeyIsNamedAndItsTableCopied()
{
    ScratchDatabase one(1, QStringLiteral("fkref1"));
    ScratchDatabase two(2, QStringLiteral("fkref2"));
    one.exec("CREATE TABLE parent (id INT PRIMARY KEY)");
    one.exec("CREATE TABLE child (id INT PRIMARY KEY, pid INT, CONSTRAINT fk_child FOREIGN KEY (pid) REFERENCES parent (id))");
    one.exec("INSERT INTO parent VALUES (1)");
    one.exec("INSERT INTO child VALUES (1, 1)");
    // The destination's parent cannot be referenced by that key.
    two.exec("CREATE TABLE parent (id VARCHAR(10))");
    CopyHarness h;
    h.copy(one, two, {QStringLiteral("child")}, runCompleteTransfer);
    const QString summary = h.dialogs.texts().last();
    const QString head = completeCopySummary({QStringLiteral("child")}, {}, {QStringLiteral("child: fk_child (")});
    QVERIFY2(summary.startsWith(head.left(head.size() - 1)) && summary.size() > head.size() + 10, qPrintable(summary));
    QCOMPARE(two.query("SELECT * FROM child"), (Rows{{Cell("1"), Cell("1")}}));
    QVERIFY(copyLeftovers(two).empty());
}

void LossesTest::slowDestinationDoesNotLoseTheSource_data() { addKinds(); }

void LossesTest::slowDestinationDoesNotLoseTheSource()
{
    QFETCH(QString, kind);
    // A hosted source that gives up on a reader after 2 s; the complete copy by INSERT, in statements
    // small enough that one waits while the source still has rows to send.
    GlobalSetting writeTimeout(1, "net_write_timeout", "2");
    GlobalSetting noLocal(2, "local_infile", "0");
    GlobalSetting packet(2, "max_allowed_packet", std::to_string(4 << 20));
    ScratchDatabase one(1, QStringLiteral("slow1"));
    ScratchDatabase two(2, QStringLiteral("slow2"));
    one.exec("CREATE TABLE big (id INT PRIMARY KEY, b VARCHAR(10000))");
    one.exec("INSERT INTO big SELECT seq, REPEAT(CHAR(65 + seq % 26), 10000) FROM seq_1_to_4000"); // 40 MB

    // Once the rows go in, the destination stops taking writes for 5 s (a backup's global read lock).
    std::atomic<bool> locked = false;
    std::thread stall;
    CopyHarness h;
    h.yield.hook = [&](int) {
        if (stall.joinable() || !h.pane.contents.contains(QStringLiteral("INSERT INTO")))
            return;
        stall = std::thread([&] {
            platform::Connection lock;
            lock.open(sandbox::serverConnectionString(2));
            lock.execute("FLUSH TABLES WITH READ LOCK");
            locked = true;
            std::this_thread::sleep_for(std::chrono::seconds(5));
            lock.execute("UNLOCK TABLES");
        });
        while (!locked)
            std::this_thread::yield();
    };
    h.copy(one, two, {QStringLiteral("big")}, runOf(kind));
    if (stall.joinable())
        stall.join();
    QVERIFY(locked);
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    const std::string sum = "SELECT COUNT(*), SUM(CRC32(b)) FROM big";
    QCOMPARE(two.query(sum), one.query(sum));
}

void LossesTest::enumErrorValueArrivesAsItWas_data()
{
    addKinds();
    // Far, the few rows go as INSERT IGNOREs with the CREATE, and the check in their round trip.
    QTest::newRow("complete, far") << QStringLiteral("complete, far");
}

void LossesTest::enumErrorValueArrivesAsItWas()
{
    QFETCH(QString, kind);
    ScratchDatabase one(1, QStringLiteral("enum1"));
    ScratchDatabase two(2, QStringLiteral("enum2"));
    one.exec("CREATE TABLE e (id INT, v ENUM('a','b'), w ENUM('x', 'it''s'))");
    // A lax server stores '' (index 0) for a value that is not in the list.
    one.exec("SET SESSION sql_mode = ''");
    one.exec("INSERT INTO e VALUES (1, 'a', 'x'), (2, 'zz', 'it''s'), (3, NULL, NULL), (4, 'b', 'zz'), (5, '', '')");
    const std::string rows = "SELECT id, v, v + 0, w, w + 0 FROM e ORDER BY id";
    QCOMPARE(one.query(rows)[1][2], Cell("0"));
    CopyHarness h;
    if (kind == QStringLiteral("complete, far")) {
        sides::ConnectionProfile far = two.profile();
        SlowLink link(far.server, far.port.toInt(), std::chrono::milliseconds(3));
        far.port = QString::number(link.port());
        PlainTableList source({QStringLiteral("e")});
        source.select({QStringLiteral("e")});
        runCompleteTransfer({source, h.destination, one.profile(), far, QStringLiteral("in test ")}, h.ui());
        QVERIFY2(h.pane.contents.contains(QStringLiteral("INSERT IGNORE INTO")), qPrintable(h.pane.contents));
        QVERIFY2(h.pane.contents.contains(QStringLiteral("-- e: 5 rows, 0.0 MB, ")), qPrintable(h.pane.contents));
    } else {
        h.copy(one, two, {QStringLiteral("e")}, runOf(kind));
    }
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(two.query(rows), one.query(rows));
    QCOMPARE(copyLeftovers(two), Rows{});
}

void LossesTest::valueThatDoesNotFitIsStillRefused()
{
    ScratchDatabase one(1, QStringLiteral("nofit1"));
    ScratchDatabase two(2, QStringLiteral("nofit2"));
    two.exec("ALTER DATABASE `" + two.name().toStdString() + "` CHARACTER SET latin1");
    one.exec("CREATE TABLE mixed (id INT, v ENUM('a','b'), s VARCHAR(10)) CHARACTER SET utf8mb4");
    one.exec("SET SESSION sql_mode = ''");
    // The row that holds the ENUM's error value also holds what latin1 cannot.
    one.exec("INSERT INTO mixed VALUES (1, 'zz', 'smile \xF0\x9F\x98\x80')");
    CopyHarness h;
    h.copy(one, two, {QStringLiteral("mixed")});
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QVERIFY2(h.dialogs.messages[0].text.startsWith(QStringLiteral("Run-time error: 1366 ")),
             qPrintable(h.dialogs.messages[0].text));
    QCOMPARE(h.lastLogLine(), h.dialogs.messages[0].text);
}

void LossesTest::takenTemporaryNameIsNotDropped()
{
    ScratchDatabase one(1, QStringLiteral("taken1"));
    ScratchDatabase two(2, QStringLiteral("taken2"));
    one.exec("CREATE TABLE t (id INT PRIMARY KEY)");
    one.exec("INSERT INTO t VALUES (1), (2)");
    // The copy's session will be one of the next few the server opens; its first temporary name
    // is someone's table already.
    const long long next = std::stoll(*two.query("SELECT CONNECTION_ID()")[0][0]) + 1;
    QStringList mine;
    for (long long id = next; id < next + 8; ++id) {
        const std::string name = "tabulink_new_" + std::to_string(id) + "_1";
        two.exec("CREATE TABLE `" + name + "` (kept INT)");
        two.exec("INSERT INTO `" + name + "` VALUES (" + std::to_string(id) + ")");
        mine << QString::fromStdString(name);
    }
    CopyHarness h;
    h.copy(one, two, {QStringLiteral("t")}, runCompleteTransfer);
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(two.query("SELECT * FROM t ORDER BY id"), (Rows{{Cell("1")}, {Cell("2")}}));
    for (const QString &name : mine)
        QCOMPARE(two.query("SELECT COUNT(*) FROM `" + name.toStdString() + "`"), (Rows{{Cell("1")}}));
    QCOMPARE(copyLeftovers(two).size(), size_t(mine.size()));
}

QTEST_MAIN(LossesTest)
#include "tst_losses.moc"
