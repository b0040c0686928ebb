#include "tables/LogLayout.h"

#include <QTextLine>

#include <algorithm>

namespace tableswindow {

namespace {

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

int LogLayout::Paragraph::unitOf(size_t offset) const
{
    const uint32_t within = static_cast<uint32_t>(std::clamp(offset, start, end) - start);
    return static_cast<int>(std::lower_bound(byteOf.begin(), byteOf.end(), within) - byteOf.begin());
}

void LogLayout::forget()
{
    layouts_.clear();
    staleFrom_ = static_cast<size_t>(-1);
}

void LogLayout::forgetStale()
{
    if (staleFrom_ == static_cast<size_t>(-1))
        return;
    layouts_.erase(layouts_.lower_bound(staleFrom_), layouts_.end());
    staleFrom_ = static_cast<size_t>(-1);
}

size_t LogLayout::paragraphEnd(size_t start, size_t lineEnd) const
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

LogLayout::Paragraph &LogLayout::paragraphStarting(size_t start, size_t line, size_t lineStart, size_t lineEnd)
{
    forgetStale();
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
    p->layout.setFont(metrics_.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p->layout.setTextOption(option);
    p->layout.setCacheEnabled(true);
    p->layout.beginLayout();
    const int height = metrics_.lineHeight();
    const int width = metrics_.width();
    for (int row = 0;; ++row) {
        QTextLine textLine = p->layout.createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(width);
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

LogLayout::Paragraph &LogLayout::paragraphAt(size_t offset)
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

bool LogLayout::nextParagraph(const Paragraph &p, size_t &start)
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

bool LogLayout::previousParagraph(const Paragraph &p, size_t &start)
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

bool LogLayout::stepRow(RowPosition &at, int direction)
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

LogLayout::RowPosition LogLayout::rowOf(size_t offset)
{
    const Paragraph &p = paragraphAt(offset);
    const QTextLine row = p.layout.lineForTextPosition(p.unitOf(offset));
    return {p.start, row.isValid() ? row.lineNumber() : 0};
}

} // namespace tableswindow
