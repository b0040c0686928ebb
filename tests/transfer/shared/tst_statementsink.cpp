// The copy's statement sink against the real server: what it sends, logs, and does after a refusal.
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "transfer/shared/StatementSink.h"

#include <QtTest>

using namespace transfer;

namespace {

// A sink on the scratch database that counts its failures and keeps their texts.
struct SinkOn {
    explicit SinkOn(const sandbox::ScratchDatabase &scratch)
        : sink(destination, pane, [this](const QString &error) { failures << error; })
    {
        destination.open(scratch.connectionString().toStdString());
    }
    platform::Connection destination;
    MemoryLogPane pane;
    QStringList failures;
    StatementSink sink;
};

} // namespace

class StatementSinkTest : public QObject {
    Q_OBJECT
private slots:
    void successfulStatementIsLoggedAsSentAndRun();
    void refusedStatementStopsEverythingAfterIt();
    void backslashesAreNotDoubledByTheLog();
    void runtimeErrorReportShowsThenLogs();
};

void StatementSinkTest::successfulStatementIsLoggedAsSentAndRun()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("log"));
    SinkOn s(scratch);
    QVERIFY(s.sink.send("CREATE TABLE `t`(`a` INT(11))"));
    QCOMPARE(s.pane.contents, QStringLiteral("CREATE TABLE `t`(`a` INT(11))\r\n"));
    QCOMPARE(scratch.tables(), QStringList{QStringLiteral("t")});
    QVERIFY(s.failures.isEmpty());
    QVERIFY(s.sink.sending());
}

void StatementSinkTest::refusedStatementStopsEverythingAfterIt()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("logerr"));
    scratch.exec("CREATE TABLE t (a INT)");
    SinkOn s(scratch);
    QVERIFY(!s.sink.send("CREATE TABLE `t`(`a` INT)"));
    QCOMPARE(s.failures, QStringList{QStringLiteral("Run-time error: 1050 Table 't' already exists")});
    QVERIFY(!s.sink.sending());
    // Once stopped, later statements are neither sent nor logged, and no second failure is reported.
    QVERIFY(!s.sink.send("INSERT INTO `t` VALUES('1')"));
    QCOMPARE(s.pane.contents, QStringLiteral("CREATE TABLE `t`(`a` INT)\r\n"));
    QCOMPARE(s.failures.size(), 1);
    QCOMPARE(scratch.query("SELECT COUNT(*) FROM t")[0][0], sandbox::Cell("0"));
}

void StatementSinkTest::backslashesAreNotDoubledByTheLog()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("logbs"));
    scratch.exec("CREATE TABLE p (v VARCHAR(20))");
    SinkOn s(scratch);
    // The statement arrives escaped by whoever built it; the sink sends and shows it unchanged.
    QVERIFY(s.sink.send("INSERT INTO `p` VALUES('C:\\\\dir')"));
    QCOMPARE(s.pane.contents, QStringLiteral("INSERT INTO `p` VALUES('C:\\\\dir')\r\n"));
    QCOMPARE(*scratch.query("SELECT v FROM p")[0][0], std::string("C:\\dir"));
}

void StatementSinkTest::runtimeErrorReportShowsThenLogs()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("logrep"));
    scratch.exec("CREATE TABLE t (a INT)");
    MemoryLogPane pane;
    FakeDialogs dialogs;
    int enabled = 0;
    QString paneWhileBoxOpen;
    dialogs.onMessage = [&] { paneWhileBoxOpen = pane.contents; };
    platform::Connection destination;
    StatementSink sink(destination, pane, RuntimeErrorReport(dialogs, pane, [&] { ++enabled; }));
    destination.open(scratch.connectionString().toStdString());
    QVERIFY(!sink.send("CREATE TABLE `t`(`a` INT)"));
    const QString error = QStringLiteral("Run-time error: 1050 Table 't' already exists");
    QCOMPARE(pane.contents, QStringLiteral("CREATE TABLE `t`(`a` INT)\r\n") + error + QStringLiteral("\r\n"));
    QCOMPARE(paneWhileBoxOpen, QStringLiteral("CREATE TABLE `t`(`a` INT)\r\n")); // the box comes before the log line
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].text, error);
    QCOMPARE(dialogs.messages[0].style, 0);
    QCOMPARE(enabled, 1);
}

QTEST_MAIN(StatementSinkTest)
#include "tst_statementsink.moc"
