#include "tables/LogView.h"

#include "app/ClipboardCopy.h"
#include "platform/QtClipboard.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextLine>
#include <QTimer>

#include <algorithm>

namespace tableswindow {

LogView::LogView(QWidget *parent)
    : QAbstractScrollArea(parent),
      layout_(editor_.log(), {[this] { return font(); }, [this] { return textWidth(); }, [this] { return lineHeight(); }}),
      ownClipboard_(std::make_unique<platform::QtClipboard>()), clipboard_(ownClipboard_.get())
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    // White whatever the desktop's colours, as the pane was designed.
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(white);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &LogView::scrollBarMoved);
}

LogView::~LogView() = default;

// The log

void LogView::appendEntry(std::string_view utf8)
{
    // Only the last line's layouts change; they are dropped when next needed.
    layout_.changedFrom(editor_.log().lastLineStart());
    editor_.append(utf8);
    scheduleRefresh();
}

QString LogView::text() const
{
    const std::string bytes = editor_.log().bytes();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void LogView::clear() { setPlainText({}); }

void LogView::setPlainText(const QString &text)
{
    editor_.setText(text.toStdString());
    top_ = {0, 0};
    layout_.forget();
    refresh();
}

QString LogView::selectedText() const
{
    const std::string bytes = editor_.selected();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void LogView::setCaret(size_t offset, bool keepAnchor)
{
    editor_.place(offset, keepAnchor);
    ensureCaretVisible();
    viewport()->update();
}

void LogView::selectAll()
{
    editor_.selectAll();
    ensureCaretVisible();
    viewport()->update();
}

// Rows and scrolling

int LogView::lineHeight() const { return fontMetrics().lineSpacing(); }
int LogView::textWidth() const { return std::max(8, viewport()->width() - 2 * Margin); }
int LogView::visibleRows() const { return std::max(1, (viewport()->height() - Margin) / lineHeight()); }

void LogView::scrollRows(int rows)
{
    const int direction = rows > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(rows) && layout_.stepRow(top_, direction); ++i) {
    }
    syncScrollBar();
    viewport()->update();
}

void LogView::ensureCaretVisible()
{
    const RowPosition caret = caretRow();
    if (caret < top_) {
        top_ = caret;
    } else {
        // Rows from the top of the view down to the caret, as far as a view holds.
        const int rows = visibleRows();
        RowPosition at = top_;
        int below = 0;
        while (below < rows && at < caret && layout_.stepRow(at, 1))
            ++below;
        if (below >= rows) {
            top_ = caret;
            for (int i = 1; i < rows && layout_.stepRow(top_, -1); ++i) {
            }
        }
    }
    syncScrollBar();
}

void LogView::syncScrollBar()
{
    syncingBar_ = true;
    QScrollBar *bar = verticalScrollBar();
    const LogText &log = editor_.log();
    bar->setRange(0, static_cast<int>(std::max<size_t>(1, log.lineCount()) - 1));
    bar->setPageStep(visibleRows());
    bar->setValue(static_cast<int>(log.lineOf(top_.paragraph)));
    syncingBar_ = false;
}

void LogView::scrollBarMoved(int value)
{
    if (syncingBar_)
        return;
    top_ = {editor_.log().lineStart(static_cast<size_t>(value)), 0};
    viewport()->update();
}

void LogView::wheelEvent(QWheelEvent *event)
{
    // By rows, so a wrapped line of many rows is not jumped over at once.
    const int steps = event->angleDelta().y() / 40;
    if (steps != 0)
        scrollRows(-steps);
    event->accept();
}

void LogView::scheduleRefresh()
{
    if (refreshScheduled_)
        return;
    refreshScheduled_ = true;
    // A tenth of a second is quicker than anyone reads a scrolling log, and drawing it less
    // often keeps a long copy's rows flowing.
    QTimer::singleShot(100, this, [this] { refresh(); });
}

void LogView::refresh()
{
    refreshScheduled_ = false;
    const Paragraph &top = layout_.paragraphAt(std::min(top_.paragraph, editor_.log().size()));
    top_ = {top.start, std::min(top_.row, top.rows() - 1)};
    syncScrollBar();
    viewport()->update();
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layout_.forget();
    top_.row = 0;
    refresh();
}

void LogView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        layout_.forget();
        refresh();
    }
    QAbstractScrollArea::changeEvent(event);
}

void LogView::focusInEvent(QFocusEvent *event)
{
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void LogView::focusOutEvent(QFocusEvent *event)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

// Drawing

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const size_t caret = editor_.caret();
    const size_t selectionStart = std::min(caret, editor_.anchor());
    const size_t selectionEnd = std::max(caret, editor_.anchor());
    const int height = lineHeight();
    int y = Margin - top_.row * height; // the top of the first paragraph's first row
    size_t start = top_.paragraph;
    for (;;) {
        Paragraph &p = layout_.paragraphAt(start);
        const QPointF origin(Margin, y);
        QList<QTextLayout::FormatRange> selections;
        if (selectionStart < p.end && selectionEnd > p.start) {
            QTextLayout::FormatRange range;
            range.start = p.unitOf(std::max(selectionStart, p.start));
            range.length = p.unitOf(std::min(selectionEnd, p.end)) - range.start;
            range.format.setBackground(palette().color(QPalette::Highlight));
            range.format.setForeground(palette().color(QPalette::HighlightedText));
            selections << range;
        }
        p.layout.draw(&painter, origin, selections);
        const bool caretHere = caret >= p.start && (caret < p.end || (caret == p.end && p.end == p.lineEnd));
        if (caretHere && hasFocus())
            p.layout.drawCursor(&painter, origin, p.unitOf(caret), 1);
        y += p.rows() * height;
        if (y >= viewport()->height() || !layout_.nextParagraph(p, start))
            break;
    }
}

QRect LogView::caretRect()
{
    const RowPosition caret = caretRow();
    RowPosition at = top_;
    for (int row = 0; row < visibleRows(); ++row) {
        if (at.paragraph == caret.paragraph && at.row == caret.row) {
            const Paragraph &p = layout_.paragraphAt(editor_.caret());
            const int x = static_cast<int>(p.layout.lineAt(caret.row).cursorToX(p.unitOf(editor_.caret())));
            return QRect(Margin + x, Margin + row * lineHeight(), 1, lineHeight());
        }
        if (!layout_.stepRow(at, 1))
            break;
    }
    return {};
}

QVariant LogView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle)
        return const_cast<LogView *>(this)->caretRect();
    return QAbstractScrollArea::inputMethodQuery(query);
}

void LogView::edited(const std::optional<LogEditor::Change> &change)
{
    if (!change)
        return;
    // The top stays where it was in the text.
    if (top_.paragraph > change->start)
        top_.paragraph = top_.paragraph >= change->end ? top_.paragraph - (change->end - change->start) + change->inserted
                                                       : change->start;
    layout_.forget();
    top_ = {layout_.paragraphAt(top_.paragraph).start, 0};
    goalX_ = -1;
    ensureCaretVisible();
    viewport()->update();
}

void LogView::replaceSelection(const std::string &utf8, LogEditor::Edit kind)
{
    edited(editor_.replaceSelection(utf8, kind));
}

void LogView::eraseWith(std::optional<LogEditor::Change> (LogEditor::*erase)())
{
    edited((editor_.*erase)());
}

void LogView::undo()
{
    const std::optional<LogEditor::Change> change = editor_.undo();
    if (!change)
        return;
    layout_.forget();
    top_ = {layout_.paragraphAt(std::min(top_.paragraph, editor_.log().size())).start, 0};
    goalX_ = -1;
    ensureCaretVisible();
    viewport()->update();
}

void LogView::copySelection()
{
    if (editor_.hasSelection())
        app::copyTextToClipboard(*clipboard_, selectedText());
}

void LogView::cutSelection()
{
    copySelection();
    if (editor_.hasSelection())
        replaceSelection({});
}

void LogView::paste() { replaceSelection(clipboard_->readText().toStdString()); }

} // namespace tableswindow
