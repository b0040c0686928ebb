#include "tables/LogView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLine>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace tableswindow {

namespace {

constexpr int Margin = 2;
constexpr size_t ParagraphBytes = 4096;
constexpr size_t KeptLayouts = 512;

// The text of bytes for display, and the byte each UTF-16 unit comes from. A byte that starts
// no valid character shows as U+FFFD, so every byte stays reachable by the caret.
QString decode(std::string_view bytes, std::vector<uint32_t> &byteOf)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    byteOf.clear();
    byteOf.reserve(bytes.size() + 1);
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = utf8SequenceLength(bytes.substr(i));
        const auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(bytes[i + k])); };
        char32_t c = 0xFFFD;
        if (length == 1 && b(0) < 0x80)
            c = b(0) == '\r' ? U' ' : b(0); // a CR inside a line shows as a blank
        else if (length == 2)
            c = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
        else if (length == 3)
            c = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        else if (length == 4)
            c = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
        const char32_t one[] = {c};
        const QString unit = QString::fromUcs4(one, 1);
        text += unit;
        for (qsizetype u = 0; u < unit.size(); ++u)
            byteOf.push_back(static_cast<uint32_t>(i));
        i += length;
    }
    byteOf.push_back(static_cast<uint32_t>(bytes.size()));
    return text;
}

} // namespace

int LogView::Paragraph::unitOf(size_t offset) const
{
    const uint32_t within = static_cast<uint32_t>(std::clamp(offset, start, end) - start);
    return static_cast<int>(std::lower_bound(byteOf.begin(), byteOf.end(), within) - byteOf.begin());
}

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
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
    staleFrom_ = std::min(staleFrom_, log_.lastLineStart());
    log_.append(utf8);
    log_.append("\r\n");
    scheduleRefresh();
}

QString LogView::text() const
{
    const std::string bytes = log_.bytes();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void LogView::clear() { setPlainText({}); }

void LogView::setPlainText(const QString &text)
{
    log_.clear();
    log_.append(text.toStdString());
    undo_ = {};
    caret_ = anchor_ = 0;
    top_ = {0, 0};
    forgetLayouts();
    refresh();
}

QString LogView::selectedText() const
{
    const std::string bytes = log_.range(std::min(caret_, anchor_), std::max(caret_, anchor_));
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void LogView::setCaret(size_t offset, bool keepAnchor)
{
    caret_ = std::min(offset, log_.size());
    if (!keepAnchor)
        anchor_ = caret_;
    ensureCaretVisible();
    viewport()->update();
}

void LogView::selectAll()
{
    anchor_ = 0;
    caret_ = log_.size();
    ensureCaretVisible();
    viewport()->update();
}

// Layouts

void LogView::forgetLayouts()
{
    layouts_.clear();
    staleFrom_ = static_cast<size_t>(-1);
}

void LogView::forgetStaleLayouts()
{
    if (staleFrom_ == static_cast<size_t>(-1))
        return;
    layouts_.erase(layouts_.lower_bound(staleFrom_), layouts_.end());
    staleFrom_ = static_cast<size_t>(-1);
}

size_t LogView::paragraphEnd(size_t start, size_t lineEnd) const
{
    if (lineEnd - start <= ParagraphBytes)
        return lineEnd;
    // Cut where a character starts: back over up to three continuation bytes.
    size_t cut = start + ParagraphBytes;
    const std::string around = log_.range(cut - 3, cut + 1); // around[3] is the byte at cut
    for (size_t k = 3; k > 0 && (static_cast<unsigned char>(around[k]) & 0xC0) == 0x80; --k)
        --cut;
    return cut;
}

LogView::Paragraph &LogView::paragraphStarting(size_t start, size_t line, size_t lineStart, size_t lineEnd)
{
    forgetStaleLayouts();
    auto found = layouts_.find(start);
    if (found != layouts_.end())
        return *found->second;
    if (layouts_.size() >= KeptLayouts)
        layouts_.clear();

    auto p = std::make_unique<Paragraph>();
    p->start = start;
    p->line = line;
    p->lineStart = lineStart;
    p->lineEnd = lineEnd;
    p->end = paragraphEnd(start, lineEnd);
    const std::string bytes = log_.range(p->start, p->end);
    p->layout.setText(decode(bytes, p->byteOf));
    p->layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p->layout.setTextOption(option);
    p->layout.setCacheEnabled(true);
    p->layout.beginLayout();
    const int height = lineHeight();
    for (int row = 0;; ++row) {
        QTextLine textLine = p->layout.createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(textWidth());
        textLine.setPosition(QPointF(0, row * height));
    }
    p->layout.endLayout();
    if (p->layout.lineCount() == 0) { // an empty line still takes a row
        p->layout.beginLayout();
        p->layout.createLine().setPosition(QPointF(0, 0));
        p->layout.endLayout();
    }
    return *layouts_.emplace(start, std::move(p)).first->second;
}

LogView::Paragraph &LogView::paragraphAt(size_t offset)
{
    const size_t line = log_.lineOf(offset);
    const size_t lineStart = log_.lineStart(line);
    const size_t lineEnd = log_.lineEnd(line);
    offset = std::min(offset, lineEnd);
    // Only the stretch that holds offset is laid out.
    size_t start = lineStart;
    for (size_t end = paragraphEnd(start, lineEnd); offset >= end && end != lineEnd;
         end = paragraphEnd(start, lineEnd))
        start = end;
    return paragraphStarting(start, line, lineStart, lineEnd);
}

bool LogView::nextParagraph(const Paragraph &p, size_t &start)
{
    if (p.end < p.lineEnd) {
        start = p.end;
        return true;
    }
    if (p.line + 1 >= log_.lineCount())
        return false;
    start = log_.lineStart(p.line + 1);
    return true;
}

bool LogView::previousParagraph(const Paragraph &p, size_t &start)
{
    if (p.start > p.lineStart) {
        start = paragraphAt(p.start - 1).start;
        return true;
    }
    if (p.line == 0)
        return false;
    start = paragraphAt(log_.lineEnd(p.line - 1)).start;
    return true;
}

// Rows and scrolling

int LogView::lineHeight() const { return fontMetrics().lineSpacing(); }
int LogView::textWidth() const { return std::max(8, viewport()->width() - 2 * Margin); }
int LogView::visibleRows() const { return std::max(1, (viewport()->height() - Margin) / lineHeight()); }

bool LogView::stepRow(RowPosition &at, int direction)
{
    const Paragraph &p = paragraphAt(at.paragraph);
    if (direction > 0) {
        if (at.row + 1 < p.rows()) {
            ++at.row;
            return true;
        }
        size_t next = 0;
        if (!nextParagraph(p, next))
            return false;
        at = {next, 0};
        return true;
    }
    if (at.row > 0) {
        --at.row;
        return true;
    }
    size_t previous = 0;
    if (!previousParagraph(p, previous))
        return false;
    at = {previous, paragraphAt(previous).rows() - 1};
    return true;
}

void LogView::scrollRows(int rows)
{
    const int direction = rows > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(rows) && stepRow(top_, direction); ++i) {
    }
    syncScrollBar();
    viewport()->update();
}

LogView::RowPosition LogView::caretRow()
{
    const Paragraph &p = paragraphAt(caret_);
    const QTextLine row = p.layout.lineForTextPosition(p.unitOf(caret_));
    return {p.start, row.isValid() ? row.lineNumber() : 0};
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
        while (below < rows && at < caret && stepRow(at, 1))
            ++below;
        if (below >= rows) {
            top_ = caret;
            for (int i = 1; i < rows && stepRow(top_, -1); ++i) {
            }
        }
    }
    syncScrollBar();
}

void LogView::syncScrollBar()
{
    syncingBar_ = true;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, static_cast<int>(std::max<size_t>(1, log_.lineCount()) - 1));
    bar->setPageStep(visibleRows());
    bar->setValue(static_cast<int>(log_.lineOf(top_.paragraph)));
    syncingBar_ = false;
}

void LogView::scrollBarMoved(int value)
{
    if (syncingBar_)
        return;
    top_ = {log_.lineStart(static_cast<size_t>(value)), 0};
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
    const Paragraph &top = paragraphAt(std::min(top_.paragraph, log_.size()));
    top_ = {top.start, std::min(top_.row, top.rows() - 1)};
    syncScrollBar();
    viewport()->update();
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    forgetLayouts();
    top_.row = 0;
    refresh();
}

void LogView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        forgetLayouts();
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
    const size_t selectionStart = std::min(caret_, anchor_);
    const size_t selectionEnd = std::max(caret_, anchor_);
    const int height = lineHeight();
    int y = Margin - top_.row * height; // the top of the first paragraph's first row
    size_t start = top_.paragraph;
    for (;;) {
        Paragraph &p = paragraphAt(start);
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
        const bool caretHere = caret_ >= p.start && (caret_ < p.end || (caret_ == p.end && p.end == p.lineEnd));
        if (caretHere && hasFocus())
            p.layout.drawCursor(&painter, origin, p.unitOf(caret_), 1);
        y += p.rows() * height;
        if (y >= viewport()->height() || !nextParagraph(p, start))
            break;
    }
}

QRect LogView::caretRect()
{
    const RowPosition caret = caretRow();
    RowPosition at = top_;
    for (int row = 0; row < visibleRows(); ++row) {
        if (at.paragraph == caret.paragraph && at.row == caret.row) {
            const Paragraph &p = paragraphAt(caret_);
            const int x = static_cast<int>(p.layout.lineAt(caret.row).cursorToX(p.unitOf(caret_)));
            return QRect(Margin + x, Margin + row * lineHeight(), 1, lineHeight());
        }
        if (!stepRow(at, 1))
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

// Pointing

size_t LogView::offsetAt(const QPoint &point)
{
    const int row = std::max(0, (point.y() - Margin) / lineHeight());
    RowPosition at = top_;
    for (int i = 0; i < row; ++i)
        if (!stepRow(at, 1))
            return log_.size();
    const Paragraph &p = paragraphAt(at.paragraph);
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
    const Paragraph &p = paragraphAt(offset);
    const QString &shown = p.layout.text();
    int from = p.unitOf(offset);
    int to = from;
    const auto inWord = [&](int u) { return shown.at(u).isLetterOrNumber() || shown.at(u) == u'_'; };
    while (from > 0 && inWord(from - 1))
        --from;
    while (to < shown.size() && inWord(to))
        ++to;
    anchor_ = p.offsetOf(from);
    caret_ = p.offsetOf(to);
    viewport()->update();
    event->accept();
}

// Keys

void LogView::moveVertically(int rows, bool keepAnchor)
{
    const Paragraph &here = paragraphAt(caret_);
    const QTextLine row = here.layout.lineForTextPosition(here.unitOf(caret_));
    if (goalX_ < 0)
        goalX_ = static_cast<int>(row.cursorToX(here.unitOf(caret_)));
    RowPosition at = caretRow();
    for (int i = 0; i < std::abs(rows) && stepRow(at, rows > 0 ? 1 : -1); ++i) {
    }
    const Paragraph &target = paragraphAt(at.paragraph);
    const int goal = goalX_;
    setCaret(target.offsetOf(target.layout.lineAt(at.row).xToCursor(goal)), keepAnchor);
    goalX_ = goal;
}

void LogView::moveToRowEdge(bool end, bool keepAnchor)
{
    const Paragraph &p = paragraphAt(caret_);
    const QTextLine row = p.layout.lineForTextPosition(p.unitOf(caret_));
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
    const Paragraph &p = paragraphAt(caret_);
    const int unit = p.unitOf(caret_);
    const int moved = direction > 0 ? p.layout.nextCursorPosition(unit, QTextLayout::SkipWords)
                                    : p.layout.previousCursorPosition(unit, QTextLayout::SkipWords);
    if (moved != unit)
        setCaret(p.offsetOf(moved), keepAnchor);
    else // at the stretch's edge: on to the next character
        setCaret(direction > 0 ? log_.nextCharacter(caret_) : log_.previousCharacter(caret_), keepAnchor);
}

void LogView::replaceSelection(const std::string &utf8, Edit kind)
{
    const size_t start = std::min(caret_, anchor_);
    const size_t end = std::max(caret_, anchor_);
    if (start == end && utf8.empty())
        return;
    const bool goesOnTyping = kind == Edit::Typing && undo_.possible && undo_.typing && start == end
                              && start == undo_.offset + undo_.inserted;
    if (goesOnTyping)
        undo_.inserted += utf8.size();
    else
        undo_ = {true, kind == Edit::Typing, start, log_.stretch(start, end), utf8.size()};
    log_.erase(start, end);
    log_.insert(start, utf8);
    // Keep the top where it was in the text.
    if (top_.paragraph > start)
        top_.paragraph = top_.paragraph >= end ? top_.paragraph - (end - start) + utf8.size() : start;
    forgetLayouts();
    top_ = {paragraphAt(top_.paragraph).start, 0};
    caret_ = anchor_ = start + utf8.size();
    goalX_ = -1;
    ensureCaretVisible();
    viewport()->update();
}

void LogView::undo()
{
    if (!undo_.possible)
        return;
    // What the edit put in goes, what it took out comes back; undoing again redoes the edit.
    const size_t start = std::min(undo_.offset, log_.size());
    const size_t end = std::min(start + undo_.inserted, log_.size());
    const LogText::Stretch inserted = log_.stretch(start, end);
    size_t restored = 0;
    for (const LogText::Piece &p : undo_.removed)
        restored += p.length;
    log_.erase(start, end);
    log_.insertStretch(start, undo_.removed);
    undo_ = {true, false, start, inserted, restored};
    forgetLayouts();
    top_ = {paragraphAt(std::min(top_.paragraph, log_.size())).start, 0};
    anchor_ = start;
    caret_ = start + restored;
    goalX_ = -1;
    ensureCaretVisible();
    viewport()->update();
}

void LogView::eraseBackward()
{
    if (!hasSelection())
        anchor_ = log_.previousCharacter(caret_);
    replaceSelection({});
}

void LogView::eraseForward()
{
    if (!hasSelection())
        anchor_ = log_.nextCharacter(caret_);
    replaceSelection({});
}

void LogView::copySelection()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::cutSelection()
{
    copySelection();
    if (hasSelection())
        replaceSelection({});
}

void LogView::paste() { replaceSelection(QGuiApplication::clipboard()->text().toStdString()); }

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    // What a text box offers on a right click.
    QMenu menu(this);
    const bool selected = hasSelection();
    menu.addAction(QStringLiteral("Undo"), QKeySequence::Undo, this, &LogView::undo)->setEnabled(canUndo());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Cut"), QKeySequence::Cut, this, &LogView::cutSelection)->setEnabled(selected);
    menu.addAction(QStringLiteral("Copy"), QKeySequence::Copy, this, &LogView::copySelection)->setEnabled(selected);
    menu.addAction(QStringLiteral("Paste"), QKeySequence::Paste, this, &LogView::paste)
        ->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu.addAction(QStringLiteral("Delete"), this, [this] { replaceSelection({}); })->setEnabled(selected);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Select All"), QKeySequence::SelectAll, this, &LogView::selectAll)
        ->setEnabled(log_.size() > 0);
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
         [this](bool keep) { setCaret(log_.nextCharacter(caret_), keep); }},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         [this](bool keep) { setCaret(log_.previousCharacter(caret_), keep); }},
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
         [this](bool keep) { setCaret(log_.size(), keep); }},
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
        eraseBackward();
    } else if (event->matches(QKeySequence::Delete)) {
        eraseForward();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        replaceSelection("\r\n");
    } else if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
               && event->modifiers() == Qt::ControlModifier) {
        scrollRows(event->key() == Qt::Key_Up ? -1 : 1); // the view moves, the caret stays
    } else if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        undo();
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint()
               && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        replaceSelection(event->text().toStdString(), Edit::Typing);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty())
        replaceSelection(event->commitString().toStdString(), Edit::Typing);
    event->accept();
}

} // namespace tableswindow
