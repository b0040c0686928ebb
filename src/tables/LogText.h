#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tableswindow {

// The debug log's text, kept as UTF-8 with an index of where each line starts, so appending a
// line costs its bytes whatever the length of the log, and any line can be shown at once.
// Beyond a few megabytes the older text moves to a temporary file, and only every 64th line's
// start is kept, so a copy that logs a table of gigabytes does not hold it in memory.
class LogText {
public:
    static constexpr size_t MemoryBytes = 4 << 20;

    LogText() { checkpoints_.push_back(0); }

    void append(std::string_view utf8);
    void removeLastCharacter();
    void clear();

    // The whole text.
    std::string bytes() const;
    size_t size() const { return spilled_ + text_.size(); }
    size_t lineCount() const { return lineCount_; }
    // Line i without its line break.
    std::string line(size_t i) const;
    size_t longestLineBytes() const { return longest_; }

private:
    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    void noteLineLength(size_t start, size_t end);
    char at(size_t offset) const;
    // Bytes [start, end) of the text, from the file and from memory.
    std::string range(size_t start, size_t end) const;
    void spill();
    void unspill(size_t bytes);
    // Where the line break at or after offset is; size() when there is none.
    size_t lineBreakFrom(size_t offset) const;
    size_t lineStart(size_t i) const;

    static constexpr size_t Stride = 64;

    std::unique_ptr<std::FILE, FileCloser> file_; // the text before spilled_
    size_t spilled_ = 0;
    std::string text_; // the text from spilled_ on
    std::vector<size_t> checkpoints_; // the start of lines 0, 64, 128, …
    size_t lineCount_ = 1;
    size_t lastLineStart_ = 0;
    size_t longest_ = 0;
};

} // namespace tableswindow
