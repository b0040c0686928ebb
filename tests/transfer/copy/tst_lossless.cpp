// Copies into servers set up the way hosted and older servers often are: nothing may be lost or
// silently changed. Each test changes a server-wide setting, so this suite runs alone.
#include "support/CopyHarness.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "platform/ProgramEnding.h"
#include "transfer/copy/DescribedCopy.h"
#include "transfer/shared/TransferRun.h"

#include <QtTest>

using namespace transfer;

using sandbox::Cell;
using sandbox::GlobalSetting;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

const QString Location = QStringLiteral("in test ");

using Harness = CopyHarness;

std::string md5Of(const ScratchDatabase &db, const std::string &table)
{
    return *db.query("SELECT MD5(GROUP_CONCAT(MD5(b) ORDER BY id)) FROM " + table)[0][0];
}

// The old table of an overwrite test, and what must still be there after a failed overwrite.
void createOldTable(const ScratchDatabase &db)
{
    db.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20)) ENGINE=InnoDB");
    db.exec("INSERT INTO t VALUES (1, 'one'), (2, 'two'), (3, 'three')");
}

void verifyOldTableIntact(const ScratchDatabase &db, const Harness &h)
{
    QCOMPARE(db.tables(), QStringList{QStringLiteral("t")}); // no half-made table, nothing left aside
    QCOMPARE(db.query("SELECT id, v FROM t ORDER BY id"),
             (Rows{{Cell("1"), Cell("one")}, {Cell("2"), Cell("two")}, {Cell("3"), Cell("three")}}));
    // The key is the old table's own: it really is the old table, not a copy of it.
    QCOMPARE(db.query("SELECT COUNT(*) FROM information_schema.statistics WHERE table_schema = DATABASE() "
                      "AND table_name = 't'")[0][0],
             Cell("1"));
    QCOMPARE(h.destination.names, QStringList{QStringLiteral("t")});
    QCOMPARE(h.dialogs.messages.back().text, overwriteUndoneMessage(QStringLiteral("t")));
}

} // namespace

class LosslessTest : public QObject {
    Q_OBJECT
private slots:
    void overwriteThatCompletesReplacesTheOldTable();
    void overwriteFailingAtDescribeKeepsTheOldTable();
    void overwriteFailingAtCreateKeepsTheOldTable();
    void overwriteFailingAtAnInsertKeepsTheOldTable();
    void closingDuringAnOverwriteKeepsTheOldTable();
    void nullTimestampsStayNull();
    void valueListsSurviveNoBackslashEscapes();
    void binaryValuesSurviveNoBackslashEscapes();
    void laxDestinationRefusesWhatDoesNotFit();
    void bigBinaryValuesArrive();
    void rowTooBigForTheDestinationIsRefusedAndNamed();
    void sameDatabaseUnderAnotherHostName();
    void otherDatabasesAreCopied();
};

void LosslessTest::overwriteThatCompletesReplacesTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("ow1"));
    ScratchDatabase two(2, QStringLiteral("ow2"));
    one.exec("CREATE TABLE t (v VARCHAR(20))");
    one.exec("INSERT INTO t VALUES ('new')");
    createOldTable(two);
    Harness h;
    h.copy(one, two, {QStringLiteral("t")});
    QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Would you like to overwrite t?")});
    QCOMPARE(two.tables(), QStringList{QStringLiteral("t")});
    QCOMPARE(two.query("SELECT * FROM t"), (Rows{{Cell("new")}}));
    // The log shows the copy exactly as ever: no word of the rename or the drop.
    QCOMPARE(h.pane.contents, QStringLiteral("CREATE TABLE `t`(`v` VARCHAR(20))\r\nINSERT INTO `t` VALUES('new')\r\n"));
    QCOMPARE(h.destination.names, QStringList{QStringLiteral("t")});
}

void LosslessTest::overwriteFailingAtDescribeKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("owd1")); // has no table t: its DESCRIBE fails
    ScratchDatabase two(2, QStringLiteral("owd2"));
    createOldTable(two);
    Harness h;
    h.copy(one, two, {QStringLiteral("t")});
    QCOMPARE(h.dialogs.messages.size(), size_t(3));
    QVERIFY(h.dialogs.messages[1].text.contains(QStringLiteral("at line 120")));
    verifyOldTableIntact(two, h);
}

void LosslessTest::overwriteFailingAtCreateKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("owc1"));
    ScratchDatabase two(2, QStringLiteral("owc2"));
    one.exec("CREATE TABLE t (id INT, b BLOB)");
    one.exec("INSERT INTO t VALUES (1, 'x')");
    createOldTable(two);
    // New tables on the destination take an engine that has no BLOB: its CREATE TABLE is refused.
    GlobalSetting engine(2, "default_storage_engine", "'MEMORY'");
    Harness h;
    h.copy(one, two, {QStringLiteral("t")});
    QVERIFY(h.lastLogLine().startsWith(QStringLiteral("Run-time error: 1163 ")));
    QCOMPARE(h.supportEnabled, 1);
    verifyOldTableIntact(two, h);
}

void LosslessTest::overwriteFailingAtAnInsertKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("owi1"));
    ScratchDatabase two(2, QStringLiteral("owi2"));
    one.exec("CREATE TABLE t (v VARCHAR(20))");
    one.exec("INSERT INTO t VALUES ('fits'), ('🦊 does not'), ('never sent')");
    createOldTable(two);
    two.exec("ALTER DATABASE CHARACTER SET latin1"); // the new t is latin1: the fox does not fit
    Harness h;
    h.copy(one, two, {QStringLiteral("t")});
    QVERIFY(h.pane.contents.contains(QStringLiteral("INSERT INTO `t` VALUES('fits')\r\n")));
    QVERIFY(h.dialogs.texts().join(u'\n').contains(QStringLiteral("Run-time error: 1366 ")));
    QVERIFY(!h.pane.contents.contains(QStringLiteral("never sent")));
    verifyOldTableIntact(two, h);
}

void LosslessTest::closingDuringAnOverwriteKeepsTheOldTable()
{
    ScratchDatabase one(1, QStringLiteral("owq1"));
    ScratchDatabase two(2, QStringLiteral("owq2"));
    one.exec("CREATE TABLE t (v VARCHAR(20))");
    one.exec("INSERT INTO t VALUES ('a'), ('b'), ('c'), ('d')");
    createOldTable(two);
    Harness h;
    // The window is closed while the new rows are being sent.
    h.yield.hook = [](int n) {
        if (n == 7)
            throw platform::ProgramEnding();
    };
    QVERIFY_THROWS_EXCEPTION(platform::ProgramEnding, h.copy(one, two, {QStringLiteral("t")}));
    QVERIFY(h.pane.contents.contains(QStringLiteral("INSERT INTO `t` VALUES('a')")));
    QCOMPARE(two.tables(), QStringList{QStringLiteral("t")});
    QCOMPARE(two.query("SELECT COUNT(*), MIN(v) FROM t"), (Rows{{Cell("3"), Cell("one")}}));
}

void LosslessTest::nullTimestampsStayNull()
{
    // MySQL 5.7 and MariaDB up to 10.9 by default: a plain TIMESTAMP is NOT NULL and NULL means now.
    GlobalSetting implicit(2, "explicit_defaults_for_timestamp", "0");
    ScratchDatabase one(1, QStringLiteral("ts1"));
    ScratchDatabase two(2, QStringLiteral("ts2"));
    one.exec("SET time_zone = '+00:00'");
    one.exec("CREATE TABLE ts (id INT, a TIMESTAMP NULL, b TIMESTAMP(3) NULL)");
    one.exec("INSERT INTO ts VALUES (1, NULL, NULL), (2, '2020-01-02 03:04:05', NULL), (3, NULL, '1999-12-31 "
             "23:59:59.125')");
    Harness h;
    h.copy(one, two, {QStringLiteral("ts")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    two.exec("SET time_zone = '+00:00'");
    QCOMPARE(two.query("SELECT a, b FROM ts ORDER BY id"),
             (Rows{{Cell(), Cell()}, {Cell("2020-01-02 03:04:05"), Cell()}, {Cell(), Cell("1999-12-31 23:59:59.125")}}));
    // The created columns do not change themselves on a later UPDATE either.
    two.exec("UPDATE ts SET id = id + 10");
    QCOMPARE(two.query("SELECT COUNT(*) FROM ts WHERE a IS NULL")[0][0], Cell("2"));
}

void LosslessTest::valueListsSurviveNoBackslashEscapes()
{
    GlobalSetting mode(2, "sql_mode", "'NO_BACKSLASH_ESCAPES'");
    ScratchDatabase one(1, QStringLiteral("enum1"));
    ScratchDatabase two(2, QStringLiteral("enum2"));
    one.exec("CREATE TABLE e (id INT, a ENUM('x\\\\y', 'it''s', 'q\\'r', 'plain'), s SET('a\\\\b', 'c''d', 'e'))");
    one.exec("INSERT INTO e VALUES (1, 'x\\\\y', 'a\\\\b,c''d'), (2, 'it''s', 'e'), (3, 'q''r', ''), (4, NULL, NULL)");
    Harness h;
    h.copy(one, two, {QStringLiteral("e")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    const std::string values = "SELECT HEX(a), HEX(s) FROM e ORDER BY id";
    QCOMPARE(two.query(values), one.query(values));
    const std::string type = "SELECT column_type FROM information_schema.columns WHERE table_schema = DATABASE() "
                             "AND table_name = 'e' AND column_name = ";
    QCOMPARE(two.query(type + "'a'"), (Rows{{Cell("enum('x\\\\y','it''s','q''r','plain')")}}));
    QCOMPARE(two.query(type + "'s'"), (Rows{{Cell("set('a\\\\b','c''d','e')")}}));
}

void LosslessTest::binaryValuesSurviveNoBackslashEscapes()
{
    GlobalSetting mode(2, "sql_mode", "'NO_BACKSLASH_ESCAPES'");
    ScratchDatabase one(1, QStringLiteral("bin1"));
    ScratchDatabase two(2, QStringLiteral("bin2"));
    one.exec("CREATE TABLE b (id INT, b VARBINARY(300), g BLOB)");
    one.exec("INSERT INTO b VALUES (1, X'00275C22FF0D0A1A00', X'5C5C27'), (2, X'', NULL), (3, NULL, X'00')");
    std::string all = "INSERT INTO b VALUES (4, X'";
    for (int i = 0; i < 256; ++i)
        all += QByteArray(1, static_cast<char>(i)).toHex().toUpper().toStdString();
    one.exec(all + "', NULL)");
    Harness h;
    h.copy(one, two, {QStringLiteral("b")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    const std::string values = "SELECT HEX(b), HEX(g), b IS NULL, g IS NULL FROM b ORDER BY id";
    QCOMPARE(two.query(values), one.query(values));
    QVERIFY(h.pane.contents.contains(QStringLiteral("_binary'")));
}

void LosslessTest::laxDestinationRefusesWhatDoesNotFit()
{
    GlobalSetting mode(2, "sql_mode", "''");
    ScratchDatabase one(1, QStringLiteral("lax1"));
    ScratchDatabase two(2, QStringLiteral("lax2"));
    two.exec("ALTER DATABASE CHARACTER SET latin1");
    one.exec("CREATE TABLE t (id INT, v VARCHAR(20))");
    one.exec("INSERT INTO t VALUES (1, 'café'), (2, 'fox 🦊'), (3, 'after')");
    Harness h;
    h.copy(one, two, {QStringLiteral("t")});
    // café fits latin1 and arrives; the fox does not, and says so instead of arriving as '?'.
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    QVERIFY(h.dialogs.messages[0].text.startsWith(QStringLiteral("Run-time error: 1366 ")));
    QCOMPARE(two.query("SELECT id, CONVERT(v USING utf8mb4) FROM t"), (Rows{{Cell("1"), Cell("café")}}));
}

void LosslessTest::bigBinaryValuesArrive()
{
    constexpr long long Packet = 16 << 20;
    GlobalSetting packet1(1, "max_allowed_packet", std::to_string(Packet));
    GlobalSetting packet2(2, "max_allowed_packet", std::to_string(Packet));
    ScratchDatabase one(1, QStringLiteral("big1"));
    ScratchDatabase two(2, QStringLiteral("big2"));
    one.exec("CREATE TABLE big (id INT, b LONGBLOB)");
    // 12 MiB that both servers hold: as hex it would be 24 MiB, more than either takes.
    one.exec("INSERT INTO big VALUES (1, REPEAT(CONCAT(REPEAT('a', 253), X'00275C'), 12 * 4096))");
    one.exec("INSERT INTO big VALUES (2, X'00')");
    QCOMPARE(one.query("SELECT LENGTH(b) FROM big WHERE id = 1")[0][0], Cell(std::to_string(12 << 20)));
    Harness h;
    h.copy(one, two, {QStringLiteral("big")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(md5Of(two, "big"), md5Of(one, "big"));
}

void LosslessTest::rowTooBigForTheDestinationIsRefusedAndNamed()
{
    GlobalSetting packet2(2, "max_allowed_packet", std::to_string(16 << 20));
    ScratchDatabase one(1, QStringLiteral("huge1")); // the sandbox's own 64 MiB
    ScratchDatabase two(2, QStringLiteral("huge2"));
    one.exec("CREATE TABLE huge (id INT, b LONGBLOB)");
    one.exec("INSERT INTO huge VALUES (1, X'01'), (2, REPEAT('b', 20 << 20)), (3, X'03')");
    one.exec("CREATE TABLE later (v INT)");
    Harness h;
    h.copy(one, two, {QStringLiteral("later"), QStringLiteral("huge")}); // huge goes first
    QCOMPARE(h.dialogs.messages.size(), size_t(1));
    const QString text = h.dialogs.messages[0].text;
    QVERIFY2(text.startsWith(QStringLiteral("Run-time error: 1153 Row 2 of table huge needs a statement of ")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("max_allowed_packet = 16777216 bytes")));
    QCOMPARE(h.lastLogLine(), text);
    // Under the statement it refuses: the row's INSERT, its start and its size.
    const QStringList lines = h.pane.contents.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QString refused = lines[lines.size() - 2];
    QVERIFY2(refused.startsWith(QStringLiteral("INSERT INTO `huge` VALUES('2', _binary'bbb")), qPrintable(refused.left(300)));
    QVERIFY2(refused.endsWith(QStringLiteral(" bytes, not sent)")) && refused.size() < 300, qPrintable(refused));
    QVERIFY(text.contains(refused.section(QStringLiteral("… ("), 1).section(u' ', 0, 0) + QStringLiteral(" bytes")));
    QCOMPARE(h.supportEnabled, 1);
    // The run stops as after any refused INSERT: the row before stays, nothing after is sent.
    QCOMPARE(two.query("SELECT id FROM huge"), (Rows{{Cell("1")}}));
    QVERIFY(!two.tables().contains(QStringLiteral("later")));
    QVERIFY(h.pane.contents.size() < 1000); // the oversized statement is not in the log
}

void LosslessTest::sameDatabaseUnderAnotherHostName()
{
    ScratchDatabase one(1, QStringLiteral("same"));
    one.exec("CREATE TABLE t (v INT)");
    one.exec("INSERT INTO t VALUES (1)");
    sides::ConnectionProfile other = one.profile();
    other.server = QStringLiteral("localhost"); // the same server, reached by another name
    PlainTableList source(QStringList{QStringLiteral("t")});
    source.select({QStringLiteral("t")});
    PlainTableList destination(QStringList{QStringLiteral("t")});
    Harness h;
    runTransfer({source, destination, one.profile(), other, Location},
                {h.dialogs, h.yield, h.pointer, h.progress, h.pane, h.report});
    QCOMPARE(h.dialogs.texts(), QStringList{sameDatabaseMessage({QStringLiteral("t")})});
    QCOMPARE(one.query("SELECT * FROM t"), (Rows{{Cell("1")}}));
    QVERIFY(h.pane.contents.isEmpty());
}

void LosslessTest::otherDatabasesAreCopied()
{
    ScratchDatabase one(1, QStringLiteral("pair"));
    ScratchDatabase other(1, QStringLiteral("Pair")); // the same server, another database
    one.exec("CREATE TABLE t (v INT)");
    one.exec("INSERT INTO t VALUES (1)");
    Harness h;
    h.copy(one, other, {QStringLiteral("t")});
    QVERIFY2(h.dialogs.messages.empty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(other.query("SELECT * FROM t"), (Rows{{Cell("1")}}));

    // Another server, a database of the very same name: not the same database either.
    const std::string name = one.name().toStdString();
    sandbox::execOnServer(2, "CREATE DATABASE `" + name + "`");
    Harness again;
    PlainTableList source(QStringList{QStringLiteral("t")});
    source.select({QStringLiteral("t")});
    runTransfer({source, again.destination, one.profile(), sandbox::serverProfile(2, one.name()), Location},
                {again.dialogs, again.yield, again.pointer, again.progress, again.pane, again.report});
    const QStringList messages = again.dialogs.texts();
    sandbox::execOnServer(2, "DROP DATABASE `" + name + "`");
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    QCOMPARE(again.destination.names, QStringList{QStringLiteral("t")});
}

QTEST_MAIN(LosslessTest)
#include "tst_lossless.moc"
