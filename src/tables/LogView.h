#pragma once

#include "tables/LogText.h"
#include "transfer/LogPane.h"

#include <QAbstractScrollArea>
#include <QTextLayout>

#include <map>
#include <memory>

namespace tableswindow {

// The debug log pane: a multi-line text box over a log that may grow to gigabytes. Lines wrap at
// the pane's width, with a vertical scroll bar only; the caret, the selection, typing, Delete,
// Backspace, cut, copy and paste work anywhere in the text. Only what is in view is laid out and
// drawn, and appends show within a tenth of a second.
class LogView : public QAbstractScrollArea, public transfer::LogPane {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);
    ~LogView() override;

    void appendEntry(std::string_view utf8) override;
    QString text() const override;
    void clear() override;

    void setPlainText(const QString &text);
    const LogText &log() const { return log_; }

    // The caret and the other end of the selection, as byte offsets into the log.
    size_t caret() const { return caret_; }
    size_t anchor() const { return anchor_; }
    QString selectedText() const;
    void setCaret(size_t offset, bool keepAnchor = false);
    void selectAll();
    // Takes back the last edit, or the last undo, as a text box's one level of undo does.
    void undo();
    bool canUndo() const { return undo_.possible; }
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
    // A stretch of one line laid out as wrapped rows. Lines longer than a few kilobytes are laid
    // out in stretches, so a logged BLOB of megabytes costs no more to show than its rows in view.
    struct Paragraph {
        size_t start = 0, end = 0;         // its bytes in the log
        size_t line = 0;                   // the log line it belongs to
        size_t lineStart = 0, lineEnd = 0; // that line's bytes, without its break
        std::vector<uint32_t> byteOf;      // for each UTF-16 unit of the text, its byte from start
        QTextLayout layout;
        int rows() const { return layout.lineCount(); }
        int unitOf(size_t offset) const;   // UTF-16 position of a byte offset
        size_t offsetOf(int unit) const { return start + byteOf[static_cast<size_t>(unit)]; }
    };
    struct RowPosition {
        size_t paragraph; // its start
        int row;
        bool operator<(const RowPosition &o) const
        {
            return paragraph != o.paragraph ? paragraph < o.paragraph : row < o.row;
        }
    };

    Paragraph &paragraphAt(size_t offset);
    size_t paragraphEnd(size_t start, size_t lineEnd) const;
    Paragraph &paragraphStarting(size_t start, size_t line, size_t lineStart, size_t lineEnd);
    // The stretch after or before p; false at either end of the log.
    bool nextParagraph(const Paragraph &p, size_t &start);
    bool previousParagraph(const Paragraph &p, size_t &start);
    void forgetLayouts();
    void forgetStaleLayouts();

    RowPosition caretRow();
    bool stepRow(RowPosition &at, int direction);
    void scrollRows(int rows);
    void ensureCaretVisible();
    size_t offsetAt(const QPoint &point);
    int visibleRows() const;
    int lineHeight() const;
    int textWidth() const;

    void moveVertically(int rows, bool keepAnchor);
    void moveToRowEdge(bool end, bool keepAnchor);
    void moveByWord(int direction, bool keepAnchor);
    enum class Edit { Typing, Other };
    void replaceSelection(const std::string &utf8, Edit kind = Edit::Other);
    void eraseBackward();
    void eraseForward();
    bool hasSelection() const { return caret_ != anchor_; }
    void copySelection();
    void cutSelection();
    void paste();

    void scheduleRefresh();
    void refresh();
    void syncScrollBar();
    void scrollBarMoved(int value);

    LogText log_;
    bool refreshScheduled_ = false;
    std::map<size_t, std::unique_ptr<Paragraph>> layouts_; // by start
    size_t staleFrom_ = static_cast<size_t>(-1);          // layouts of lines reaching here are old
    RowPosition top_{0, 0};
    size_t caret_ = 0;
    size_t anchor_ = 0;
    int goalX_ = -1; // the column Up and Down keep to
    struct Undo {
        bool possible = false;
        bool typing = false;   // typed characters in a row undo as one
        size_t offset = 0;
        LogText::Stretch removed; // what the edit took out
        size_t inserted = 0;      // how many bytes it put in at offset
    } undo_;
    bool syncingBar_ = false;
};

} // namespace tableswindow
