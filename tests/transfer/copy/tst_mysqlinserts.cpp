// A complete copy into a MySQL that refuses LOAD DATA LOCAL (as it ships): the INSERTs go to two
// sessions in turn, so the server stores two at once; each range is checked only once both have
// committed it, and a second session lost halfway leaves the old table as it was.
#include "support/CopyHarness.h"
#include "support/Sandbox.h"
#include "transfer/copy/CompleteCopy.h"

#include <QtTest>

using namespace transfer;
using sandbox::Cell;
using sandbox::MySqlServer;
using sandbox::Rows;
using sandbox::ScratchDatabase;

namespace {

// About 23 MB: two of the copy's 16 MiB ranges, each of many 1 MB statements.
void fillSource(const ScratchDatabase &source)
{
    source.exec("CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(200), n BIGINT, d DATETIME(6))");
    source.exec("INSERT INTO t SELECT seq, CONCAT(REPEAT('x', seq % 150), ' O''Brien 😀'), seq * 7919, "
                "'2020-01-01' + INTERVAL seq * 7 SECOND + INTERVAL seq MICROSECOND FROM seq_1_to_130000");
}

const char *Fingerprint = "SELECT COUNT(*), SUM(CRC32(CONCAT_WS('|', id, v, n, d))) FROM t";

// The destination's sessions in that database, by id: the copy's own two first, a helper after.
std::vector<long long> sessionsIn(const ScratchDatabase &db)
{
    std::vector<long long> ids;
    // Not information_schema's list: its statement texts are utf8mb3, and an INSERT's emoji fails it.
    for (const auto &row : db.query("SELECT PROCESSLIST_ID FROM performance_schema.threads WHERE PROCESSLIST_DB = '"
                                    + db.name().toStdString() + "' AND PROCESSLIST_ID <> CONNECTION_ID() ORDER BY PROCESSLIST_ID"))
        ids.push_back(std::stoll(*row.at(0)));
    return ids;
}

} // namespace

class MySqlInsertsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void twoSessionsTakeTheRowsInTurn();
    void aSessionLostHalfwayKeepsTheOldTable_data();
    void aSessionLostHalfwayKeepsTheOldTable();
};

void MySqlInsertsTest::init()
{
    if (const QString missing = sandbox::missingServer(MySqlServer); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void MySqlInsertsTest::twoSessionsTakeTheRowsInTurn()
{
    sandbox::GlobalSetting local(MySqlServer, "local_infile", "0");
    ScratchDatabase source(1, QStringLiteral("mins1"));
    ScratchDatabase destination(MySqlServer, QStringLiteral("mins2"));
    fillSource(source);
    CopyHarness h;
    h.copy(source, destination, {QStringLiteral("t")}, runCompleteTransfer);
    QVERIFY2(h.dialogs.texts().isEmpty(), qPrintable(h.dialogs.texts().join(u'\n')));
    QCOMPARE(destination.query(Fingerprint), source.query(Fingerprint));
    const QString log = h.pane.contents;
    QVERIFY2(log.contains(QStringLiteral("-- t: 130000 rows, ")), qPrintable(log.right(2000)));
    const QRegularExpressionMatch ranges = QRegularExpression(QStringLiteral("verified in (\\d+) key ranges")).match(log);
    QVERIFY2(ranges.hasMatch(), qPrintable(log.right(2000)));
    const int parts = ranges.captured(1).toInt();
    QVERIFY(parts >= 2);
    // Each range in a transaction on each of the two sessions, each committed before its check.
    QCOMPARE(log.count(QStringLiteral("START TRANSACTION")), 2 * parts);
    QCOMPARE(log.count(QStringLiteral("\nCOMMIT")), 2 * parts);
    QVERIFY(log.count(QStringLiteral("INSERT INTO `")) > 2 * parts);
    QVERIFY(copyLeftovers(destination).empty());
}

void MySqlInsertsTest::aSessionLostHalfwayKeepsTheOldTable_data()
{
    QTest::addColumn<bool>("helper");
    QTest::newRow("the second session") << true;
    // Then the second still holds its part's transaction: it must not hold the way out's DROP.
    QTest::newRow("the lane's own and its checker") << false;
}

void MySqlInsertsTest::aSessionLostHalfwayKeepsTheOldTable()
{
    QFETCH(bool, helper);
    sandbox::GlobalSetting local(MySqlServer, "local_infile", "0");
    ScratchDatabase source(1, QStringLiteral("mins3"));
    ScratchDatabase destination(MySqlServer, QStringLiteral("mins4"));
    fillSource(source);
    destination.exec("CREATE TABLE t (id INT PRIMARY KEY, old INT)");
    destination.exec("INSERT INTO t VALUES (1, 1)");
    CopyHarness h;
    bool killed = false;
    h.yield.hook = [&](int count) {
        if (killed || count % 500 != 0)
            return;
        // The copy's own session and its checker, then the helper, opened once rows flow.
        const std::vector<long long> ids = sessionsIn(destination);
        if (ids.size() < 3)
            return;
        killed = true;
        for (const long long id : helper ? std::vector<long long>{ids.back()} : std::vector<long long>{ids[0], ids[1]})
            sandbox::execOnServer(MySqlServer, "KILL " + std::to_string(id));
    };
    h.copy(source, destination, {QStringLiteral("t")}, runCompleteTransfer);
    QVERIFY2(killed, qPrintable(h.pane.contents.right(2000)));
    QCOMPARE(destination.query("SELECT * FROM t"), (Rows{{Cell("1"), Cell("1")}}));
    const QString said = h.dialogs.texts().join(u'\n');
    QVERIFY2(said.contains(QStringLiteral("Lost connection")) || said.contains(QStringLiteral("gone away"))
                 || said.contains(QStringLiteral("interrupted")),
             qPrintable(said));
    QVERIFY2(copyLeftovers(destination).empty(), qPrintable(h.pane.contents.right(3000)));
}

QTEST_MAIN(MySqlInsertsTest)
#include "tst_mysqlinserts.moc"
