// ExecuteAndLog and the log pane over the real text box.
#include "platform/DbConnection.h"
#include "support/Fakes.h"
#include "support/Sandbox.h"
#include "tables/DebugLog.h"
#include "tables/LogText.h"
#include "tables/LogView.h"

#include <QScrollBar>
#include <QtTest>

class DebugLogTest : public QObject {
    Q_OBJECT
private slots:
    void successfulStatementIsLoggedAsSentAndRun();
    void refusedStatementLogsItsErrorAfterIt();
    void backslashesAreNotDoubledByTheLog();
    void paneKeepsTypedTextAndEndsEveryLineWithCrLf();
    void logTextIndexesItsLines();
    void viewShowsEntriesOnceEventsAreHandled();
};

void DebugLogTest::successfulStatementIsLoggedAsSentAndRun()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("log"));
    db::Connection c;
    c.open(scratch.connectionString().toStdString());
    MemoryLogPane pane;
    FakeDialogs dialogs;
    int enabled = 0;
    DebugLog log(pane, dialogs, [&] { ++enabled; });
    QVERIFY(log.executeAndLog(c, "CREATE TABLE `t`(`a` INT(11))"));
    QCOMPARE(pane.contents, QStringLiteral("CREATE TABLE `t`(`a` INT(11))\r\n"));
    QCOMPARE(scratch.tables(), QStringList{QStringLiteral("t")});
    QVERIFY(dialogs.messages.empty());
    QCOMPARE(enabled, 0);
}

void DebugLogTest::refusedStatementLogsItsErrorAfterIt()
{
    sandbox::ScratchDatabase scratch(2, QStringLiteral("logerr"));
    scratch.exec("CREATE TABLE t (a INT)");
    db::Connection c;
    c.open(scratch.connectionString().toStdString());
    MemoryLogPane pane;
    FakeDialogs dialogs;
    int enabled = 0;
    DebugLog log(pane, dialogs, [&] { ++enabled; });
    QVERIFY(!log.executeAndLog(c, "CREATE TABLE `t`(`a` INT)"));
    const QString error = QStringLiteral("Run-time error: 1050 Table 't' already exists");
    QCOMPARE(pane.contents, QStringLiteral("CREATE TABLE `t`(`a` INT)\r\n") + error + QStringLiteral("\r\n"));
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].text, error);
    QCOMPARE(dialogs.messages[0].style, 0);
    QCOMPARE(enabled, 1);
}

void DebugLogTest::backslashesAreNotDoubledByTheLog()
{
    sandbox::ScratchDatabase scratch(1, QStringLiteral("logbs"));
    scratch.exec("CREATE TABLE p (v VARCHAR(20))");
    db::Connection c;
    c.open(scratch.connectionString().toStdString());
    MemoryLogPane pane;
    FakeDialogs dialogs;
    DebugLog log(pane, dialogs, [] {});
    // The statement arrives escaped by whoever built it; the log sends and shows it unchanged.
    QVERIFY(log.executeAndLog(c, "INSERT INTO `p` VALUES('C:\\\\dir')"));
    QCOMPARE(pane.contents, QStringLiteral("INSERT INTO `p` VALUES('C:\\\\dir')\r\n"));
    QCOMPARE(*scratch.query("SELECT v FROM p")[0][0], std::string("C:\\dir"));
}

void DebugLogTest::paneKeepsTypedTextAndEndsEveryLineWithCrLf()
{
    LogView pane;
    pane.show();
    QTest::keyClicks(&pane, QStringLiteral("my note"));
    pane.appendEntry("first");
    pane.appendEntry("second");
    QCOMPARE(pane.text(), QStringLiteral("my notefirst\r\nsecond\r\n"));
    QTest::keyClick(&pane, Qt::Key_Backspace);
    QTest::keyClick(&pane, Qt::Key_Backspace); // the CR LF went as one, then the "d"
    QKeyEvent accented(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("ç"));
    QApplication::sendEvent(&pane, &accented);
    QCOMPARE(pane.text(), QStringLiteral("my notefirst\r\nseconç"));
    pane.clear();
    QCOMPARE(pane.text(), QString());
    pane.clear();
    QCOMPARE(pane.text(), QString());
}

void DebugLogTest::logTextIndexesItsLines()
{
    LogText log;
    QCOMPARE(log.lineCount(), size_t(1));
    log.append("INSERT INTO `t` VALUES('a\nb')\r\n");
    log.append("CREATE TABLE `u`(`x` INT)\r\n");
    QCOMPARE(log.lineCount(), size_t(4)); // a value's line break starts a line of its own
    QCOMPARE(std::string(log.line(0)), std::string("INSERT INTO `t` VALUES('a"));
    QCOMPARE(std::string(log.line(1)), std::string("b')"));
    QCOMPARE(std::string(log.line(2)), std::string("CREATE TABLE `u`(`x` INT)"));
    QCOMPARE(std::string(log.line(3)), std::string());
    QCOMPARE(log.longestLineBytes(), size_t(25));
    log.append("🦊");
    log.removeLastCharacter(); // the whole four-byte character
    QCOMPARE(log.bytes(), std::string("INSERT INTO `t` VALUES('a\nb')\r\nCREATE TABLE `u`(`x` INT)\r\n"));
    log.removeLastCharacter();
    QCOMPARE(log.lineCount(), size_t(3));
    log.clear();
    QCOMPARE(log.lineCount(), size_t(1));
    QCOMPARE(log.bytes(), std::string());
}

void DebugLogTest::viewShowsEntriesOnceEventsAreHandled()
{
    LogView pane;
    pane.resize(400, 60);
    pane.show();
    for (int i = 0; i < 50; ++i)
        pane.appendEntry("INSERT INTO `t` VALUES('" + std::to_string(i) + "')");
    QCOMPARE(pane.verticalScrollBar()->maximum(), 0); // not yet laid out: appends stay cheap
    QTRY_VERIFY(pane.verticalScrollBar()->maximum() > 40);
    QCOMPARE(pane.log().lineCount(), size_t(51));
}

QTEST_MAIN(DebugLogTest)
#include "tst_debuglog.moc"
