#pragma once

#include "tables/LogEditor.h"
#include "tables/LogLayout.h"
#include "transfer/shared/LogPane.h"

#include <QAbstractScrollArea>

#include <memory>
#include <optional>

namespace platform {
class Clipboard;
}

namespace tableswindow {

// The debug log pane: a multi-line text box over a log that may grow to gigabytes. Lines wrap at
// the pane's width, with a vertical scroll bar only; the caret, the selection, typing, Delete,
// Backspace, cut, copy and paste work anywhere in the text. Only what is in view is laid out and
// drawn, and appends show within a tenth of a second. The editing is LogEditor's, the rows
// LogLayout's; this is the widget around them.
class LogView : public QAbstractScrollArea, public transfer::LogPane {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);
    ~LogView() override;

    void appendEntry(std::string_view utf8) override;
    QString text() const override;
    void clear() override;

    void setPlainText(const QString &text);
    const LogText &log() const { return editor_.log(); }
    // Where Copy and Cut put the text and Paste takes it from; the desktop's unless told.
    void setClipboard(platform::Clipboard &clipboard) { clipboard_ = &clipboard; }

    // The caret and the other end of the selection, as byte offsets into the log.
    size_t caret() const { return editor_.caret(); }
    size_t anchor() const { return editor_.anchor(); }
    QString selectedText() const;
    void setCaret(size_t offset, bool keepAnchor = false);
    void selectAll();
    // Takes back the last edit, or the last undo, as a text box's one level of undo does.
    void undo();
    bool canUndo() const { return editor_.canUndo(); }
    // Where the caret is drawn, in the viewport; empty when it is out of view.
    QRect caretRect();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    using Paragraph = LogLayout::Paragraph;
    using RowPosition = LogLayout::RowPosition;
    static constexpr int Margin = 2;

    RowPosition caretRow() { return layout_.rowOf(editor_.caret()); }
    void scrollRows(int rows);
    void ensureCaretVisible();
    size_t offsetAt(const QPoint &point);
    int visibleRows() const;
    int lineHeight() const;
    int textWidth() const;

    void moveVertically(int rows, bool keepAnchor);
    void moveToRowEdge(bool end, bool keepAnchor);
    void moveByWord(int direction, bool keepAnchor);
    // After an edit: the top stays where it was in the text, the caret comes into view.
    void edited(const std::optional<LogEditor::Change> &change);
    void replaceSelection(const std::string &utf8, LogEditor::Edit kind = LogEditor::Edit::Other);
    void eraseWith(std::optional<LogEditor::Change> (LogEditor::*erase)());
    void copySelection();
    void cutSelection();
    void paste();

    void scheduleRefresh();
    void refresh();
    void syncScrollBar();
    void scrollBarMoved(int value);

    LogEditor editor_;
    LogLayout layout_;
    std::unique_ptr<platform::Clipboard> ownClipboard_;
    platform::Clipboard *clipboard_;
    bool refreshScheduled_ = false;
    RowPosition top_{0, 0};
    int goalX_ = -1; // the column Up and Down keep to
    bool syncingBar_ = false;
};

} // namespace tableswindow
