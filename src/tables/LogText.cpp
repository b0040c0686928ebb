#include "tables/LogText.h"

#include <algorithm>

namespace tableswindow {

void LogText::noteLineLength(size_t start, size_t end)
{
    if (end > start && text_[end - 1] == '\r')
        --end;
    longest_ = std::max(longest_, end - start);
}

void LogText::append(std::string_view utf8)
{
    const size_t base = text_.size();
    text_.append(utf8);
    for (size_t at = utf8.find('\n'); at != std::string_view::npos; at = utf8.find('\n', at + 1)) {
        noteLineLength(lineStarts_.back(), base + at);
        lineStarts_.push_back(base + at + 1);
    }
    noteLineLength(lineStarts_.back(), text_.size());
}

void LogText::removeLastCharacter()
{
    if (text_.empty())
        return;
    size_t cut = text_.size() - 1;
    // Step back over UTF-8 continuation bytes to the start of the character.
    while (cut > 0 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80)
        --cut;
    // A CR LF goes as one line break.
    if (text_[cut] == '\n' && cut > 0 && text_[cut - 1] == '\r')
        --cut;
    text_.resize(cut);
    while (lineStarts_.size() > 1 && lineStarts_.back() > text_.size())
        lineStarts_.pop_back();
}

void LogText::clear()
{
    text_.clear();
    lineStarts_.assign(1, 0);
    longest_ = 0;
}

std::string_view LogText::line(size_t i) const
{
    const size_t start = lineStarts_[i];
    size_t end = i + 1 < lineStarts_.size() ? lineStarts_[i + 1] - 1 : text_.size();
    if (end > start && text_[end - 1] == '\r')
        --end;
    return std::string_view(text_).substr(start, end - start);
}

} // namespace tableswindow
