// The log pane over the real text box.
#include "support/Fakes.h"
#include "tables/LogText.h"
#include "tables/LogView.h"

#include <QScrollBar>
#include <QtTest>

using namespace app;
using namespace sides;
using namespace tableswindow;
using namespace transfer;

class LogPaneTest : public QObject {
    Q_OBJECT
private slots:
    void paneKeepsTypedTextAndEndsEveryLineWithCrLf();
    void logTextIndexesItsLines();
    void longLogMovesToDiskAndReadsBackTheSame();
    void viewShowsEntriesOnceEventsAreHandled();
};

void LogPaneTest::paneKeepsTypedTextAndEndsEveryLineWithCrLf()
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

void LogPaneTest::logTextIndexesItsLines()
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

void LogPaneTest::longLogMovesToDiskAndReadsBackTheSame()
{
    LogText log;
    std::string expected;
    const std::string row = "INSERT INTO `t` VALUES('🦊 ü', 'line\nbreak')\r\n";
    while (expected.size() < 3 * LogText::MemoryBytes) {
        log.append(row);
        expected += row;
    }
    // One entry longer than the memory part: all of it, its end included, goes to disk.
    const std::string last = std::string(LogText::MemoryBytes, 'y') + "')\r\ntail";
    log.append(last);
    expected += last;
    QCOMPARE(log.size(), expected.size());
    QVERIFY(log.bytes() == expected);
    QCOMPARE(log.lineCount(), size_t(std::count(expected.begin(), expected.end(), '\n') + 1));
    QCOMPARE(log.line(0), std::string("INSERT INTO `t` VALUES('🦊 ü', 'line"));
    QCOMPARE(log.line(1), std::string("break')"));
    QCOMPARE(log.line(log.lineCount() - 1), std::string("tail"));
    // Lines anywhere, from disk or memory, read as they were written.
    std::vector<std::string> lines;
    for (size_t start = 0, end; start <= expected.size(); start = end + 1) {
        end = expected.find('\n', start);
        if (end == std::string::npos)
            end = expected.size();
        std::string line = expected.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    QCOMPARE(lines.size(), log.lineCount());
    for (size_t i : {size_t(63), size_t(64), size_t(65), size_t(1001), lines.size() / 2, lines.size() - 2})
        QCOMPARE(log.line(i), lines[i]);
    // Backspace reaches back into the part on disk: the four letters, the CR LF as one, then the ')'.
    for (int i = 0; i < 6; ++i)
        log.removeLastCharacter();
    expected.resize(expected.size() - 4 - 2 - 1);
    QVERIFY(log.bytes() == expected);
    QCOMPARE(log.line(log.lineCount() - 1), std::string(LogText::MemoryBytes, 'y') + "'");
    log.clear();
    QCOMPARE(log.bytes(), std::string());
    QCOMPARE(log.lineCount(), size_t(1));
}

void LogPaneTest::viewShowsEntriesOnceEventsAreHandled()
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

QTEST_MAIN(LogPaneTest)
#include "tst_logpane.moc"
