#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tableswindow {

// How many bytes the UTF-8 character at the start of bytes takes; 1 for a byte that starts no
// valid character, so text that is not UTF-8 still steps one byte at a time.
size_t utf8SequenceLength(std::string_view bytes);

// Every byte the log was ever given, in the order given: the newest few megabytes in memory,
// the rest in an unlinked temporary file, so a copy that logs gigabytes does not hold them.
// Only ever appended to, so an edit never has to move what is already stored.
class ByteStore {
public:
    static constexpr size_t MemoryBytes = 4 << 20;

    size_t append(std::string_view bytes); // returns where they start
    size_t size() const { return spilled_ + memory_.size(); }
    // The stored bytes from offset on, as many as are at hand in one piece (at least one,
    // at most max); valid until the next call.
    std::string_view span(size_t offset, size_t max) const;
    void clear();

private:
    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    void spill();

    std::unique_ptr<std::FILE, FileCloser> file_; // bytes before spilled_
    size_t spilled_ = 0;
    std::string memory_; // bytes from spilled_ on
    // The last block read back from the file, so walking lines there reads each block once.
    mutable std::string cached_;
    mutable size_t cachedAt_ = 0;
};

// The debug log's text: UTF-8, lines ending in LF (shown as one break with the CR before it).
// Appending costs the appended bytes whatever the log's length; any line, and the line of any
// offset, is found at once from a start kept for about every 64th line; an edit anywhere costs
// about the edit, not the log.
class LogText {
public:
    static constexpr size_t MemoryBytes = ByteStore::MemoryBytes;

    struct Piece {
        size_t stored; // where in the store
        size_t length;
    };
    // A stretch of the text as the store holds it: enough to put it back after an erase, at no
    // cost in memory, since the store keeps every byte until the log is cleared.
    using Stretch = std::vector<Piece>;

    LogText() { clear(); }

    void append(std::string_view utf8);
    void insert(size_t offset, std::string_view utf8);
    void erase(size_t start, size_t end);
    Stretch stretch(size_t start, size_t end) const;
    void insertStretch(size_t offset, const Stretch &pieces);
    void clear();

    size_t size() const { return size_; }
    size_t lineCount() const { return lineCount_; }
    // The whole text, and bytes [start, end) of it.
    std::string bytes() const { return range(0, size_); }
    std::string range(size_t start, size_t end) const;
    // Line i without its line break (LF, or CR LF).
    std::string line(size_t i) const;
    size_t lineStart(size_t i) const;
    // Where line i's break begins (its CR of a CR LF); size() for the last line.
    size_t lineEnd(size_t i) const;
    size_t lineOf(size_t offset) const;
    size_t lastLineStart() const { return lastLineStart_; }

    // The character boundaries around offset; a CR LF counts as one character.
    size_t nextCharacter(size_t offset) const;
    size_t previousCharacter(size_t offset) const;

private:
    struct LineMark {
        size_t line;
        size_t offset; // where that line starts
    };
    // The text from offset on, as many bytes as one piece holds at hand (empty at the end).
    std::string_view span(size_t offset, size_t max = 1 << 16) const;
    size_t pieceAt(size_t offset) const; // the piece holding offset
    void splitAt(size_t offset);         // a piece boundary at offset
    void reindexPieces();
    // Where the LF at or after offset is; size() when there is none.
    size_t lineBreakFrom(size_t offset) const;
    size_t countLineBreaks(size_t start, size_t end) const;
    char at(size_t offset) const { return span(offset, 1)[0]; }

    static constexpr size_t Stride = 64;

    ByteStore store_;
    std::vector<Piece> pieces_;
    std::vector<size_t> pieceStarts_; // the text offset of each piece
    std::vector<LineMark> marks_;     // line 0 and about every 64th line after it
    size_t size_ = 0;
    size_t lineCount_ = 1;
    size_t lastLineStart_ = 0;
};

} // namespace tableswindow
