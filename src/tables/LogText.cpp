#include "tables/LogText.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

namespace tableswindow {

size_t utf8SequenceLength(std::string_view bytes)
{
    if (bytes.empty())
        return 0;
    const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = b(0);
    size_t length = 1;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 1;
    if (bytes.size() < length || b(1) < low || b(1) > high)
        return 1;
    for (size_t i = 2; i < length; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 1;
    return length;
}

// ByteStore

size_t ByteStore::append(std::string_view bytes)
{
    const size_t at = size();
    // One buffer for the memory part, reused after each spill: growing it by doubling would
    // copy it, and fresh pages cost more than the appends themselves.
    if (memory_.capacity() < MemoryBytes)
        memory_.reserve(MemoryBytes + (64 << 10));
    memory_.append(bytes);
    if (memory_.size() > MemoryBytes)
        spill();
    return at;
}

void ByteStore::spill()
{
    if (!file_) {
        file_.reset(std::tmpfile());
        if (!file_)
            return; // no temporary file to be had: the text stays in memory
    }
    const ssize_t written =
        pwrite(fileno(file_.get()), memory_.data(), memory_.size(), static_cast<off_t>(spilled_));
    if (written != static_cast<ssize_t>(memory_.size()))
        return; // the disk is full: keep it in memory rather than lose it
    spilled_ += memory_.size();
    memory_.clear();
}

std::string_view ByteStore::span(size_t offset, size_t max) const
{
    if (offset >= spilled_)
        return std::string_view(memory_).substr(offset - spilled_, max);
    constexpr size_t Block = 256 << 10;
    const size_t blockAt = offset / Block * Block;
    if (cached_.empty() || cachedAt_ != blockAt) {
        cached_.resize(std::min(Block, spilled_ - blockAt));
        const ssize_t got = pread(fileno(file_.get()), cached_.data(), cached_.size(), static_cast<off_t>(blockAt));
        if (got != static_cast<ssize_t>(cached_.size())) {
            // Shown while painting, where a throw would end the program: the pane shows what it
            // could not read as question marks, and tries again next time.
            cached_.assign(cached_.size(), '?');
            cachedAt_ = static_cast<size_t>(-1);
            return std::string_view(cached_).substr(offset - blockAt, max);
        }
        cachedAt_ = blockAt;
    }
    return std::string_view(cached_).substr(offset - blockAt, max);
}

void ByteStore::clear()
{
    file_.reset();
    spilled_ = 0;
    memory_.clear(); // its buffer stays for the next entries
    cached_.clear();
    cached_.shrink_to_fit();
}

// LogText

void LogText::clear()
{
    store_.clear();
    pieces_.clear();
    pieceStarts_.clear();
    marks_.assign(1, LineMark{0, 0});
    size_ = 0;
    lineCount_ = 1;
    lastLineStart_ = 0;
}

size_t LogText::pieceAt(size_t offset) const
{
    if (offset >= pieceStarts_.back()) // the end, where nearly everything happens
        return pieces_.size() - 1;
    return static_cast<size_t>(std::upper_bound(pieceStarts_.begin(), pieceStarts_.end(), offset)
                               - pieceStarts_.begin())
           - 1;
}

std::string_view LogText::span(size_t offset, size_t max) const
{
    if (offset >= size_)
        return {};
    const size_t i = pieceAt(offset);
    const size_t within = offset - pieceStarts_[i];
    return store_.span(pieces_[i].stored + within, std::min(max, pieces_[i].length - within));
}

std::string LogText::range(size_t start, size_t end) const
{
    end = std::min(end, size_);
    std::string out;
    if (start >= end)
        return out;
    out.reserve(end - start);
    while (start < end) {
        const std::string_view part = span(start, end - start);
        out.append(part);
        start += part.size();
    }
    return out;
}

void LogText::append(std::string_view utf8)
{
    if (utf8.empty())
        return;
    const size_t stored = store_.append(utf8);
    if (!pieces_.empty() && pieces_.back().stored + pieces_.back().length == stored) {
        pieces_.back().length += utf8.size();
    } else {
        pieces_.push_back(Piece{stored, utf8.size()});
        pieceStarts_.push_back(size_);
    }
    const size_t from = size_;
    size_ += utf8.size();
    for (size_t at = utf8.find('\n'); at != std::string_view::npos; at = utf8.find('\n', at + 1)) {
        ++lineCount_;
        lastLineStart_ = from + at + 1;
        if (lineCount_ - 1 - marks_.back().line >= Stride)
            marks_.push_back(LineMark{lineCount_ - 1, lastLineStart_});
    }
}

void LogText::reindexPieces()
{
    pieceStarts_.resize(pieces_.size());
    size_t at = 0;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        pieceStarts_[i] = at;
        at += pieces_[i].length;
    }
}

void LogText::splitAt(size_t offset)
{
    if (offset == 0 || offset >= size_)
        return;
    const size_t i = pieceAt(offset);
    const size_t within = offset - pieceStarts_[i];
    if (within == 0)
        return;
    const Piece whole = pieces_[i];
    pieces_[i].length = within;
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                   Piece{whole.stored + within, whole.length - within});
    pieceStarts_.insert(pieceStarts_.begin() + static_cast<std::ptrdiff_t>(i) + 1, offset);
}

void LogText::insert(size_t offset, std::string_view utf8)
{
    if (offset >= size_) {
        append(utf8);
        return;
    }
    if (!utf8.empty())
        insertStretch(offset, Stretch{Piece{store_.append(utf8), utf8.size()}});
}

LogText::Stretch LogText::stretch(size_t start, size_t end) const
{
    Stretch out;
    end = std::min(end, size_);
    while (start < end) {
        const size_t i = pieceAt(start);
        const size_t within = start - pieceStarts_[i];
        const size_t length = std::min(pieces_[i].length - within, end - start);
        out.push_back(Piece{pieces_[i].stored + within, length});
        start += length;
    }
    return out;
}

void LogText::insertStretch(size_t offset, const Stretch &pieces)
{
    offset = std::min(offset, size_);
    size_t length = 0;
    for (const Piece &p : pieces)
        length += p.length;
    if (length == 0)
        return;
    size_t line = lineOf(offset);
    splitAt(offset);
    const size_t at = offset == size_ ? pieces_.size() : pieceAt(offset); // the piece that starts at offset
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(at), pieces.begin(), pieces.end());
    reindexPieces();
    size_ += length;

    // Later line starts move; the lines the insert brings get marks of their own.
    const auto after = std::upper_bound(marks_.begin(), marks_.end(), offset,
                                        [](size_t o, const LineMark &m) { return o < m.offset; });
    std::vector<LineMark> added;
    size_t lastMarked = (after - 1)->line;
    size_t breaks = 0;
    size_t position = offset;
    for (const Piece &p : pieces) {
        for (size_t done = 0; done < p.length;) {
            const std::string_view part = store_.span(p.stored + done, p.length - done);
            for (size_t k = part.find('\n'); k != std::string_view::npos; k = part.find('\n', k + 1)) {
                ++breaks;
                if (++line - lastMarked >= Stride) {
                    added.push_back(LineMark{line, position + k + 1});
                    lastMarked = line;
                }
            }
            done += part.size();
            position += part.size();
        }
    }
    for (auto m = after; m != marks_.end(); ++m) {
        m->offset += length;
        m->line += breaks;
    }
    marks_.insert(after, added.begin(), added.end());
    lineCount_ += breaks;
    lastLineStart_ = lineStart(lineCount_ - 1);
}

void LogText::erase(size_t start, size_t end)
{
    end = std::min(end, size_);
    if (start >= end)
        return;
    // Even erasing everything keeps the store: an undo may put it back. Only clear() drops it.
    const size_t breaks = countLineBreaks(start, end);
    splitAt(start);
    splitAt(end);
    const size_t first = start == 0 ? 0 : pieceAt(start);
    size_t last = first;
    while (last < pieces_.size() && pieceStarts_[last] < end)
        ++last;
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(first),
                  pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    reindexPieces();
    const size_t length = end - start;
    size_ -= length;

    // Marks of lines that began inside the erased bytes go; later ones move back.
    std::vector<LineMark> kept;
    kept.reserve(marks_.size());
    for (const LineMark &m : marks_) {
        if (m.offset <= start)
            kept.push_back(m);
        else if (m.offset > end)
            kept.push_back(LineMark{m.line - breaks, m.offset - length});
    }
    marks_ = std::move(kept);
    lineCount_ -= breaks;
    lastLineStart_ = lineStart(lineCount_ - 1);
}

size_t LogText::lineBreakFrom(size_t offset) const
{
    while (offset < size_) {
        const std::string_view part = span(offset);
        const void *found = std::memchr(part.data(), '\n', part.size());
        if (found)
            return offset + static_cast<size_t>(static_cast<const char *>(found) - part.data());
        offset += part.size();
    }
    return size_;
}

size_t LogText::countLineBreaks(size_t start, size_t end) const
{
    size_t breaks = 0;
    while (start < end) {
        const std::string_view part = span(start, end - start);
        breaks += static_cast<size_t>(std::count(part.begin(), part.end(), '\n'));
        start += part.size();
    }
    return breaks;
}

size_t LogText::lineStart(size_t i) const
{
    i = std::min(i, lineCount_ - 1);
    const auto mark = std::upper_bound(marks_.begin(), marks_.end(), i,
                                       [](size_t line, const LineMark &m) { return line < m.line; })
                      - 1;
    size_t start = mark->offset;
    for (size_t line = mark->line; line < i; ++line)
        start = lineBreakFrom(start) + 1;
    return start;
}

size_t LogText::lineEnd(size_t i) const
{
    if (i + 1 >= lineCount_)
        return size_;
    const size_t start = lineStart(i);
    const size_t end = lineBreakFrom(start);
    return end > start && at(end - 1) == '\r' ? end - 1 : end;
}

size_t LogText::lineOf(size_t offset) const
{
    offset = std::min(offset, size_);
    const auto mark = std::upper_bound(marks_.begin(), marks_.end(), offset,
                                       [](size_t o, const LineMark &m) { return o < m.offset; })
                      - 1;
    size_t line = mark->line;
    for (size_t start = mark->offset;; ++line) {
        const size_t end = lineBreakFrom(start);
        if (end >= offset)
            return line;
        start = end + 1;
    }
}

std::string LogText::line(size_t i) const { return range(lineStart(i), lineEnd(i)); }

size_t LogText::nextCharacter(size_t offset) const
{
    if (offset >= size_)
        return size_;
    const std::string ahead = range(offset, offset + 4);
    if (ahead.size() >= 2 && ahead[0] == '\r' && ahead[1] == '\n')
        return offset + 2;
    return offset + utf8SequenceLength(ahead);
}

size_t LogText::previousCharacter(size_t offset) const
{
    offset = std::min(offset, size_);
    if (offset == 0)
        return 0;
    if (offset >= 2 && at(offset - 1) == '\n' && at(offset - 2) == '\r')
        return offset - 2;
    const size_t back = std::min<size_t>(4, offset);
    const std::string behind = range(offset - back, offset);
    // The longest character that ends exactly here.
    for (size_t length = back; length > 1; --length)
        if (utf8SequenceLength(std::string_view(behind).substr(back - length)) == length)
            return offset - length;
    return offset - 1;
}

} // namespace tableswindow
