// The log pane over the real text box.
#include "support/Fakes.h"
#include "tables/LogText.h"
#include "tables/LogView.h"

#include <QClipboard>
#include <QMenu>
#include <QRandomGenerator>
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
    void caretEditsAnywhereAndTheClipboardKeysWork();
    void mouseSetsTheCaretAndSelects();
    void longLinesWrapInsteadOfScrollingSideways();
    void editsAnywhereInALongLogKeepItsLines();
    void rightClickOffersWhatATextBoxDoes();
    void anyKeysKeepTheCaretInViewAndOnACharacter();
    void undoTakesBackTheLastEditAndThenRedoesIt();
};

namespace {

// The pane with three lines in it, laid out and focused.
struct ShownPane {
    LogView pane;
    ShownPane(const QString &text, QSize size = {300, 120})
    {
        pane.resize(size);
        pane.setPlainText(text);
        pane.show();
        pane.setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(&pane, key, modifiers);
    }
};

} // namespace

void LogPaneTest::paneKeepsTypedTextAndEndsEveryLineWithCrLf()
{
    LogView pane;
    pane.show();
    QTest::keyClicks(&pane, QStringLiteral("my note"));
    pane.appendEntry("first");
    pane.appendEntry("second");
    QCOMPARE(pane.text(), QStringLiteral("my notefirst\r\nsecond\r\n"));
    QCOMPARE(pane.caret(), size_t(7)); // a copy's entries do not move the caret
    QTest::keyClick(&pane, Qt::Key_End, Qt::ControlModifier);
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
    log.append("🦊");
    log.erase(log.previousCharacter(log.size()), log.size()); // the whole four-byte character
    QCOMPARE(log.bytes(), std::string("INSERT INTO `t` VALUES('a\nb')\r\nCREATE TABLE `u`(`x` INT)\r\n"));
    log.erase(log.previousCharacter(log.size()), log.size());
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
        log.erase(log.previousCharacter(log.size()), log.size());
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

void LogPaneTest::caretEditsAnywhereAndTheClipboardKeysWork()
{
    ShownPane w(QStringLiteral("CREATE TABLE `t`\r\nINSERT 1\r\nINSERT 2\r\n"));
    // Into the middle of the second line: typing, Delete and Backspace work there.
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Right, Qt::NoModifier, 6);
    QTest::keyClicks(&w.pane, QStringLiteral("ED"));
    QCOMPARE(w.pane.text(), QStringLiteral("CREATE TABLE `t`\r\nINSERTED 1\r\nINSERT 2\r\n"));
    w.key(Qt::Key_Delete);
    w.key(Qt::Key_Backspace);
    QCOMPARE(w.pane.text(), QStringLiteral("CREATE TABLE `t`\r\nINSERTE1\r\nINSERT 2\r\n"));
    // Deleting at a line's end joins the lines; Return splits them again with CR LF.
    w.key(Qt::Key_End);
    w.key(Qt::Key_Delete);
    QCOMPARE(w.pane.text(), QStringLiteral("CREATE TABLE `t`\r\nINSERTE1INSERT 2\r\n"));
    w.key(Qt::Key_Return);
    QCOMPARE(w.pane.text(), QStringLiteral("CREATE TABLE `t`\r\nINSERTE1\r\nINSERT 2\r\n"));

    // Shift selects; Ctrl+C copies, Ctrl+X cuts, Ctrl+V pastes where the caret is.
    w.key(Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(w.pane.selectedText(), QStringLiteral("INSERT 2"));
    w.key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("INSERT 2"));
    w.key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("CREATE TABLE `t`\r\nINSERTE1\r\n\r\n"));
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("INSERT 2CREATE TABLE `t`\r\nINSERTE1\r\n\r\n"));
    // Typing replaces a selection; Ctrl+A takes everything.
    w.key(Qt::Key_Left, Qt::ShiftModifier, 8);
    QTest::keyClicks(&w.pane, QStringLiteral("-- "));
    QCOMPARE(w.pane.text(), QStringLiteral("-- CREATE TABLE `t`\r\nINSERTE1\r\n\r\n"));
    w.key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.pane.selectedText(), w.pane.text());
    w.key(Qt::Key_Backspace);
    QCOMPARE(w.pane.text(), QString());
    // Characters of several bytes go as one, wherever the caret is.
    w.pane.setPlainText(QStringLiteral("a🦊ü\r\nb"));
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Right, Qt::NoModifier, 2);
    w.key(Qt::Key_Backspace);
    QCOMPARE(w.pane.text(), QStringLiteral("aü\r\nb"));
    w.key(Qt::Key_Right, Qt::ShiftModifier, 2); // ü and the line break
    QCOMPARE(w.pane.selectedText(), QStringLiteral("ü\r\n"));
}

void LogPaneTest::mouseSetsTheCaretAndSelects()
{
    ShownPane w(QStringLiteral("first line\r\nsecond line\r\nthird line\r\n"));
    const int row = w.pane.fontMetrics().lineSpacing();
    QWidget *area = w.pane.viewport();
    // A click at the start of the second row, a drag to the end of the third.
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(3, 2 + row + row / 2));
    QCOMPARE(w.pane.caret(), size_t(12));
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(3, 2 + row + row / 2));
    QMouseEvent drag(QEvent::MouseMove, QPointF(area->width() - 4, 2 + 2 * row + row / 2), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &drag);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(area->width() - 4, 2 + 2 * row + row / 2));
    QCOMPARE(w.pane.selectedText(), QStringLiteral("second line\r\nthird line"));
    // Shift and a click move the selection's free end; a double click takes a word.
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(3, 2 + row / 2));
    QCOMPARE(w.pane.selectedText(), QStringLiteral("first line\r\n"));
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(3 + w.pane.fontMetrics().horizontalAdvance(QStringLiteral("sec")),
                                                        2 + row + row / 2));
    QCOMPARE(w.pane.selectedText(), QStringLiteral("second"));
    // A click below the text puts the caret at its end.
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(10, area->height() - 2));
    QCOMPARE(w.pane.caret(), w.pane.log().size());
}

void LogPaneTest::longLinesWrapInsteadOfScrollingSideways()
{
    const QString row = QStringLiteral("INSERT INTO `t` VALUES('");
    QString value;
    for (int i = 0; i < 200; ++i)
        value += QStringLiteral("word%1 ").arg(i);
    ShownPane w(row + value + QStringLiteral("')\r\nnext"), QSize(260, 100));
    QCOMPARE(w.pane.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!w.pane.horizontalScrollBar()->isVisible());
    QCOMPARE(w.pane.viewport()->palette().color(QPalette::Base), QColor(Qt::white));
    // Down moves a row within the wrapped line, not to the next line.
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Down);
    const size_t secondRow = w.pane.caret();
    QVERIFY(secondRow > 0 && secondRow < static_cast<size_t>(row.size() + value.size()));
    // End stays on its row; every row of the line fits the pane's width.
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_End);
    QVERIFY(w.pane.caret() < secondRow);
    QVERIFY(w.pane.caretRect().right() <= w.pane.viewport()->width());
    // Moving the caret down the wrapped rows scrolls the pane to keep it in view.
    w.key(Qt::Key_Down, Qt::NoModifier, 40);
    QVERIFY(!w.pane.caretRect().isEmpty());
    QVERIFY(w.pane.caret() > secondRow);
    // A line of megabytes, as a logged BLOB makes, is laid out only where it is in view.
    w.pane.clear();
    w.pane.appendEntry(std::string(3 << 20, 'x'));
    w.pane.appendEntry("after");
    QTest::qWait(150);
    w.key(Qt::Key_End, Qt::ControlModifier);
    w.key(Qt::Key_Up, Qt::NoModifier, 2);
    QVERIFY(w.pane.caret() > size_t(3 << 20) - 200 && w.pane.caret() < size_t(3 << 20));
    QVERIFY(!w.pane.caretRect().isEmpty());
    QVERIFY(!w.pane.grab().isNull());
}

void LogPaneTest::editsAnywhereInALongLogKeepItsLines()
{
    // A log mostly on disk, edited at random places; after each edit it must read back, line by
    // line and offset by offset, as the same edits made to a plain string.
    LogText log;
    std::string model;
    const std::string row = "INSERT INTO `t` VALUES('🦊', 'a\nb')\r\n";
    while (model.size() < 2 * LogText::MemoryBytes + 1000) {
        log.append(row);
        model += row;
    }
    QRandomGenerator random(20261209);
    const auto lineStarts = [&] {
        std::vector<size_t> starts{0};
        for (size_t at = model.find('\n'); at != std::string::npos; at = model.find('\n', at + 1))
            starts.push_back(at + 1);
        return starts;
    };
    for (int edit = 0; edit < 300; ++edit) {
        const size_t at = random.bounded(static_cast<quint64>(model.size() + 1));
        if (random.bounded(3) == 0) {
            const size_t length = std::min<size_t>(model.size() - at, random.bounded(300));
            log.erase(at, at + length);
            model.erase(at, length);
        } else {
            std::string piece = random.bounded(2) ? "typed" : std::string(random.bounded(200), '\n') + "x\r\n";
            log.insert(at, piece);
            model.insert(at, piece);
        }
        if (edit % 50 != 49)
            continue;
        QCOMPARE(log.size(), model.size());
        const std::vector<size_t> starts = lineStarts();
        QCOMPARE(log.lineCount(), starts.size());
        for (int probe = 0; probe < 200; ++probe) {
            const size_t line = random.bounded(static_cast<quint64>(starts.size()));
            QCOMPARE(log.lineStart(line), starts[line]);
            const size_t offset = random.bounded(static_cast<quint64>(model.size() + 1));
            const size_t expected =
                static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin()) - 1;
            QCOMPARE(log.lineOf(offset), expected);
        }
        QCOMPARE(log.lastLineStart(), starts.back());
    }
    QVERIFY(log.bytes() == model);
    // Appends after the edits still land at the end and start their lines.
    log.append("tail\r\nend");
    model += "tail\r\nend";
    QVERIFY(log.bytes() == model);
    QCOMPARE(log.line(log.lineCount() - 1), std::string("end"));
}

void LogPaneTest::rightClickOffersWhatATextBoxDoes()
{
    ShownPane w(QStringLiteral("INSERT 1\r\n"));
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Right, Qt::ShiftModifier, 6);
    QGuiApplication::clipboard()->clear();
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                offered << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)"));
        for (QAction *a : menu->actions())
            if (a->text() == QLatin1String("Cut"))
                a->trigger();
        menu->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), w.pane.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w.pane.viewport(), &click);
    QCOMPARE(offered, (QStringList{QStringLiteral("Undo (off)"), QStringLiteral("Cut"), QStringLiteral("Copy"), QStringLiteral("Paste (off)"),
                                   QStringLiteral("Delete"), QStringLiteral("Select All")}));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("INSERT"));
    QCOMPARE(w.pane.text(), QStringLiteral(" 1\r\n"));
}

void LogPaneTest::anyKeysKeepTheCaretInViewAndOnACharacter()
{
    // Wrapped rows, a line of many stretches, characters of 1 to 4 bytes, bytes that are not
    // UTF-8, as a log of binary values holds; then keys at random, with a copy appending between.
    ShownPane w(QString(), QSize(220, 90));
    w.pane.appendEntry("CREATE TABLE `t` (`v` BLOB, `w` TEXT) -- ü 🦊 ∑");
    w.pane.appendEntry("INSERT INTO `t` VALUES(_binary'\xff\xfe\x80\xc3', 'x')");
    w.pane.appendEntry(std::string(20000, 'y') + "é");
    w.pane.appendEntry("");
    const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,        Qt::Key_Down,   Qt::Key_Home,
                            Qt::Key_End,  Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Delete, Qt::Key_Backspace,
                            Qt::Key_Return, Qt::Key_A};
    const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier};
    QRandomGenerator random(9122026);
    bool viewMovedAlone = false;
    for (int i = 0; i < 1500; ++i) {
        const Qt::Key key = keys[random.bounded(static_cast<int>(std::size(keys)))];
        const Qt::KeyboardModifiers modifier = modifiers[random.bounded(3)];
        if (key == Qt::Key_A && modifier == Qt::ControlModifier)
            continue; // select all then Delete would leave little to move in
        if (i % 100 == 0)
            w.pane.appendEntry("INSERT INTO `t` VALUES('" + std::to_string(i) + "')");
        const size_t caretBefore = w.pane.caret();
        const size_t sizeBefore = w.pane.log().size();
        QTest::keyClick(&w.pane, key, modifier);
        const size_t caret = w.pane.caret();
        QVERIFY(caret <= w.pane.log().size());
        // On a character's start: never inside a CR LF, never inside a character of several bytes.
        if (caret > 0)
            QCOMPARE(w.pane.log().nextCharacter(w.pane.log().previousCharacter(caret)), caret);
        // Ctrl+Up and Ctrl+Down move the view alone; the caret may then stay out of view until
        // it moves or the text changes.
        if (modifier == Qt::ControlModifier && (key == Qt::Key_Up || key == Qt::Key_Down))
            viewMovedAlone = true;
        else if (caret != caretBefore || w.pane.log().size() != sizeBefore)
            viewMovedAlone = false;
        if (!viewMovedAlone)
            QVERIFY2(!w.pane.caretRect().isEmpty(), qPrintable(QString::number(i)));
        QCOMPARE(w.pane.selectedText().toUtf8().isEmpty(), w.pane.caret() == w.pane.anchor());
    }
    QVERIFY(!w.pane.grab().isNull());
}

void LogPaneTest::undoTakesBackTheLastEditAndThenRedoesIt()
{
    ShownPane w(QStringLiteral("INSERT 1\r\nINSERT 2\r\n"));
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Right, Qt::NoModifier, 6);
    QTest::keyClicks(&w.pane, QStringLiteral("ED"));
    w.pane.appendEntry("INSERT 3"); // a copy goes on meanwhile
    // Typing in a row undoes as one; undoing again puts it back.
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("INSERT 1\r\nINSERT 2\r\nINSERT 3\r\n"));
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("INSERTED 1\r\nINSERT 2\r\nINSERT 3\r\n"));
    // A cut comes back selected.
    w.key(Qt::Key_Home, Qt::ControlModifier);
    w.key(Qt::Key_Down, Qt::ShiftModifier, 2);
    w.key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("INSERT 3\r\n"));
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.pane.text(), QStringLiteral("INSERTED 1\r\nINSERT 2\r\nINSERT 3\r\n"));
    QCOMPARE(w.pane.selectedText(), QStringLiteral("INSERTED 1\r\nINSERT 2\r\n"));

    // Deleting a log of megabytes, mostly on disk, and taking it back gives every byte again.
    w.pane.clear();
    QVERIFY(!w.pane.canUndo());
    std::string expected;
    for (int i = 0; expected.size() < 3 * LogText::MemoryBytes; ++i) {
        const std::string entry = "INSERT INTO `t` VALUES(" + std::to_string(i) + ", 'ü')";
        w.pane.appendEntry(entry);
        expected += entry + "\r\n";
    }
    const size_t lines = w.pane.log().lineCount();
    w.key(Qt::Key_A, Qt::ControlModifier);
    w.key(Qt::Key_Delete);
    QCOMPARE(w.pane.log().size(), size_t(0));
    QCOMPARE(w.pane.log().lineCount(), size_t(1));
    w.key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w.pane.log().bytes() == expected);
    QCOMPARE(w.pane.log().lineCount(), lines);
    QCOMPARE(w.pane.log().line(lines / 2), "INSERT INTO `t` VALUES(" + std::to_string(lines / 2) + ", 'ü')");
}

QTEST_MAIN(LogPaneTest)
#include "tst_logpane.moc"
