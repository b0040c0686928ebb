#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tableswindow {

// The debug log's text, kept as UTF-8 with an index of where each line starts, so appending a
// line costs its bytes whatever the length of the log, and any line can be shown at once.
class LogText {
public:
    LogText() { lineStarts_.push_back(0); }

    void append(std::string_view utf8);
    void removeLastCharacter();
    void clear();

    const std::string &bytes() const { return text_; }
    size_t lineCount() const { return lineStarts_.size(); }
    // Line i without its line break.
    std::string_view line(size_t i) const;
    size_t longestLineBytes() const { return longest_; }

private:
    void noteLineLength(size_t start, size_t end);

    std::string text_;
    std::vector<size_t> lineStarts_;
    size_t longest_ = 0;
};

} // namespace tableswindow
