#include "tables/LogView.h"

#include "platform/Clipboard.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextLine>

#include <algorithm>
#include <functional>

// What the pane does with the mouse and the keys: each becomes a caret move or an edit.

namespace tableswindow {

// Pointing

size_t LogView::offsetAt(const QPoint &point)
{
    const int row = std::max(0, (point.y() - Margin) / lineHeight());
    RowPosition at = top_;
    for (int i = 0; i < row; ++i)
        if (!layout_.stepRow(at, 1))
            return editor_.log().size();
    const Paragraph &p = layout_.paragraphAt(at.paragraph);
    const int unit = p.layout.lineAt(at.row).xToCursor(point.x() - Margin);
    return p.offsetOf(unit);
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        goalX_ = -1;
        setCaret(offsetAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if (at.y() < 0)
        scrollRows(-1);
    else if (at.y() > viewport()->height())
        scrollRows(1);
    setCaret(offsetAt(QPoint(at.x(), std::clamp(at.y(), 0, viewport()->height() - 1))), true);
    event->accept();
}

void LogView::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }

void LogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const size_t offset = offsetAt(event->position().toPoint());
    const Paragraph &p = layout_.paragraphAt(offset);
    const QString &shown = p.layout.text();
    int from = p.unitOf(offset);
    int to = from;
    const auto inWord = [&](int u) { return shown.at(u).isLetterOrNumber() || shown.at(u) == u'_'; };
    while (from > 0 && inWord(from - 1))
        --from;
    while (to < shown.size() && inWord(to))
        ++to;
    editor_.select(p.offsetOf(from), p.offsetOf(to));
    viewport()->update();
    event->accept();
}

// Keys

void LogView::moveVertically(int rows, bool keepAnchor)
{
    const Paragraph &here = layout_.paragraphAt(editor_.caret());
    const QTextLine row = here.layout.lineForTextPosition(here.unitOf(editor_.caret()));
    if (goalX_ < 0)
        goalX_ = static_cast<int>(row.cursorToX(here.unitOf(editor_.caret())));
    RowPosition at = caretRow();
    for (int i = 0; i < std::abs(rows) && layout_.stepRow(at, rows > 0 ? 1 : -1); ++i) {
    }
    const Paragraph &target = layout_.paragraphAt(at.paragraph);
    const int goal = goalX_;
    setCaret(target.offsetOf(target.layout.lineAt(at.row).xToCursor(goal)), keepAnchor);
    goalX_ = goal;
}

void LogView::moveToRowEdge(bool end, bool keepAnchor)
{
    const Paragraph &p = layout_.paragraphAt(editor_.caret());
    const QTextLine row = p.layout.lineForTextPosition(p.unitOf(editor_.caret()));
    int unit = row.textStart();
    if (end) {
        unit = row.textStart() + row.textLength();
        // A wrapped row ends before the blank it broke at, so the caret stays on that row.
        if (row.lineNumber() + 1 < p.rows() && unit > row.textStart())
            --unit;
    }
    setCaret(p.offsetOf(unit), keepAnchor);
}

void LogView::moveByWord(int direction, bool keepAnchor)
{
    const Paragraph &p = layout_.paragraphAt(editor_.caret());
    const int unit = p.unitOf(editor_.caret());
    const int moved = direction > 0 ? p.layout.nextCursorPosition(unit, QTextLayout::SkipWords)
                                    : p.layout.previousCursorPosition(unit, QTextLayout::SkipWords);
    if (moved != unit)
        setCaret(p.offsetOf(moved), keepAnchor);
    else // at the stretch's edge: on to the next character
        setCaret(direction > 0 ? editor_.log().nextCharacter(editor_.caret())
                               : editor_.log().previousCharacter(editor_.caret()),
                 keepAnchor);
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    // What a text box offers on a right click.
    QMenu menu(this);
    const bool selected = editor_.hasSelection();
    menu.addAction(QStringLiteral("Undo"), QKeySequence::Undo, this, &LogView::undo)->setEnabled(canUndo());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Cut"), QKeySequence::Cut, this, &LogView::cutSelection)->setEnabled(selected);
    menu.addAction(QStringLiteral("Copy"), QKeySequence::Copy, this, &LogView::copySelection)->setEnabled(selected);
    menu.addAction(QStringLiteral("Paste"), QKeySequence::Paste, this, &LogView::paste)
        ->setEnabled(!clipboard_->readText().isEmpty());
    menu.addAction(QStringLiteral("Delete"), this, [this] { replaceSelection({}); })->setEnabled(selected);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Select All"), QKeySequence::SelectAll, this, &LogView::selectAll)
        ->setEnabled(editor_.log().size() > 0);
    menu.exec(event->globalPos());
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    struct Move {
        QKeySequence::StandardKey move, select;
        std::function<void(bool)> go;
    };
    const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar,
         [this](bool keep) { setCaret(editor_.log().nextCharacter(editor_.caret()), keep); }},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         [this](bool keep) { setCaret(editor_.log().previousCharacter(editor_.caret()), keep); }},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, [this](bool keep) { moveByWord(1, keep); }},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord,
         [this](bool keep) { moveByWord(-1, keep); }},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, [this](bool keep) { moveVertically(1, keep); }},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         [this](bool keep) { moveVertically(-1, keep); }},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage,
         [this](bool keep) { moveVertically(visibleRows(), keep); }},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         [this](bool keep) { moveVertically(-visibleRows(), keep); }},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine,
         [this](bool keep) { moveToRowEdge(false, keep); }},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine,
         [this](bool keep) { moveToRowEdge(true, keep); }},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         [this](bool keep) { setCaret(0, keep); }},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument,
         [this](bool keep) { setCaret(editor_.log().size(), keep); }},
    };
    for (const Move &m : moves) {
        const bool select = event->matches(m.select);
        if (select || event->matches(m.move)) {
            const bool vertical = m.move == QKeySequence::MoveToNextLine || m.move == QKeySequence::MoveToPreviousLine
                                  || m.move == QKeySequence::MoveToNextPage
                                  || m.move == QKeySequence::MoveToPreviousPage;
            if (!vertical)
                goalX_ = -1;
            m.go(select);
            return;
        }
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copySelection();
    } else if (event->matches(QKeySequence::Cut)) {
        cutSelection();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->key() == Qt::Key_Backspace) {
        eraseWith(&LogEditor::eraseBackward);
    } else if (event->matches(QKeySequence::Delete)) {
        eraseWith(&LogEditor::eraseForward);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        replaceSelection("\r\n");
    } else if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
               && event->modifiers() == Qt::ControlModifier) {
        scrollRows(event->key() == Qt::Key_Up ? -1 : 1); // the view moves, the caret stays
    } else if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        undo();
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint()
               && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        replaceSelection(event->text().toStdString(), LogEditor::Edit::Typing);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty())
        replaceSelection(event->commitString().toStdString(), LogEditor::Edit::Typing);
    event->accept();
}

} // namespace tableswindow
