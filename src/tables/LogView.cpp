#include "tables/LogView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

namespace tableswindow {

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
}

void LogView::appendEntry(std::string_view utf8)
{
    log_.append(utf8);
    log_.append("\r\n");
    scheduleRefresh();
}

QString LogView::text() const
{
    const std::string bytes = log_.bytes();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void LogView::clear()
{
    log_.clear();
    refresh();
}

void LogView::setPlainText(const QString &text)
{
    log_.clear();
    log_.append(text.toStdString());
    refresh();
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

int LogView::lineHeight() const { return fontMetrics().lineSpacing(); }

void LogView::refresh()
{
    refreshScheduled_ = false;
    const int visibleLines = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(log_.lineCount()) - visibleLines));
    verticalScrollBar()->setPageStep(visibleLines);
    // Widths are estimated from the longest line's length, so no line has to be measured.
    const int widest = static_cast<int>(log_.longestLineBytes()) * fontMetrics().averageCharWidth();
    horizontalScrollBar()->setRange(0, std::max(0, widest - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    viewport()->update();
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    refresh();
}

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const int height = lineHeight();
    const int ascent = fontMetrics().ascent();
    const size_t first = static_cast<size_t>(verticalScrollBar()->value());
    const int x = 2 - horizontalScrollBar()->value();
    int y = 1;
    for (size_t i = first; i < log_.lineCount() && y < viewport()->height(); ++i, y += height) {
        const std::string line = log_.line(i);
        QString shown = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        shown.replace(u'\r', u' ');
        painter.drawText(x, y + ascent, shown);
    }
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace) {
        log_.removeLastCharacter();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        log_.append("\r\n");
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
        // Typing goes to the end of the log, after everything logged so far.
        log_.append(event->text().toStdString());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    refresh();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace tableswindow
