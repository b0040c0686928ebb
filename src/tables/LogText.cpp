#include "tables/LogText.h"

#include <algorithm>
#include <stdexcept>

#include <unistd.h>

namespace tableswindow {

void LogText::noteLineLength(size_t start, size_t end)
{
    if (end > start && at(end - 1) == '\r')
        --end;
    longest_ = std::max(longest_, end - start);
}

char LogText::at(size_t offset) const
{
    if (offset >= spilled_)
        return text_[offset - spilled_];
    return range(offset, offset + 1)[0];
}

std::string LogText::range(size_t start, size_t end) const
{
    std::string out;
    out.reserve(end - start);
    if (start < spilled_) {
        const size_t fromFile = std::min(end, spilled_) - start;
        out.resize(fromFile);
        const ssize_t got = pread(fileno(file_.get()), out.data(), fromFile, static_cast<off_t>(start));
        out.resize(got > 0 ? static_cast<size_t>(got) : 0);
        start = spilled_;
    }
    if (end > start)
        out.append(text_, start - spilled_, end - start);
    return out;
}

void LogText::spill()
{
    if (!file_) {
        file_.reset(std::tmpfile());
        if (!file_)
            return; // no temporary file to be had: the text stays in memory
    }
    const ssize_t written = pwrite(fileno(file_.get()), text_.data(), text_.size(), static_cast<off_t>(spilled_));
    if (written != static_cast<ssize_t>(text_.size()))
        return; // the disk is full: keep it in memory rather than lose it
    spilled_ += text_.size();
    text_.clear();
    text_.shrink_to_fit();
}

void LogText::unspill(size_t bytes)
{
    bytes = std::min(bytes, spilled_);
    const size_t from = spilled_ - bytes;
    std::string back(bytes, '\0');
    if (pread(fileno(file_.get()), back.data(), bytes, static_cast<off_t>(from)) != static_cast<ssize_t>(bytes))
        throw std::runtime_error("The log's temporary file could not be read.");
    text_.insert(0, back);
    spilled_ = from;
    if (ftruncate(fileno(file_.get()), static_cast<off_t>(spilled_)) != 0)
        throw std::runtime_error("The log's temporary file could not be shortened.");
}

void LogText::append(std::string_view utf8)
{
    const size_t base = size();
    text_.append(utf8);
    for (size_t at = utf8.find('\n'); at != std::string_view::npos; at = utf8.find('\n', at + 1)) {
        noteLineLength(lastLineStart_, base + at);
        lastLineStart_ = base + at + 1;
        if (lineCount_++ % Stride == 0)
            checkpoints_.push_back(lastLineStart_);
    }
    noteLineLength(lastLineStart_, size());
    if (text_.size() > MemoryBytes)
        spill();
}

void LogText::removeLastCharacter()
{
    if (size() == 0)
        return;
    if (text_.size() < 8) // a character and its line break are in memory
        unspill(8);
    size_t cut = text_.size() - 1;
    // Step back over UTF-8 continuation bytes to the start of the character.
    while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80)
        --cut;
    // A CR LF goes as one line break.
    if (text_[cut] == '\n' && cut > 0 && text_[cut - 1] == '\r')
        --cut;
    text_.resize(cut);
    if (lastLineStart_ > size()) { // a line break went
        --lineCount_;
        while (checkpoints_.size() > 1 && checkpoints_.back() > size())
            checkpoints_.pop_back();
        lastLineStart_ = lineStart(lineCount_ - 1);
    }
}

void LogText::clear()
{
    file_.reset();
    spilled_ = 0;
    text_.clear();
    checkpoints_.assign(1, 0);
    lineCount_ = 1;
    lastLineStart_ = 0;
    longest_ = 0;
}

std::string LogText::bytes() const { return range(0, size()); }

size_t LogText::lineBreakFrom(size_t offset) const
{
    constexpr size_t Block = 64 << 10;
    while (offset < spilled_) {
        const std::string block = range(offset, std::min(spilled_, offset + Block));
        const size_t at = block.find('\n');
        if (at != std::string::npos)
            return offset + at;
        offset += block.size();
        if (block.empty())
            return size();
    }
    const size_t at = text_.find('\n', offset - spilled_);
    return at == std::string::npos ? size() : spilled_ + at;
}

size_t LogText::lineStart(size_t i) const
{
    size_t start = checkpoints_[i / Stride];
    for (size_t k = 0; k < i % Stride; ++k)
        start = lineBreakFrom(start) + 1;
    return start;
}

std::string LogText::line(size_t i) const
{
    const size_t start = lineStart(i);
    size_t end = i + 1 < lineCount_ ? lineBreakFrom(start) : size();
    if (end > start && at(end - 1) == '\r')
        --end;
    return range(start, end);
}

} // namespace tableswindow
