#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct st_mysql;
struct st_mysql_res;

namespace platform {

class ServerWait;

// A cell of the current row; NULL is not the same as an empty value.
struct FieldValue {
    std::string_view bytes;
    bool isNull = true;
};

// The rows of one statement's result, read forward from the first to the last.
// Read Whole, all rows are fetched at once and recordCount() is known; otherwise rows stream from
// the server as they are read, and a stream given up before its last row while an exception
// unwinds takes its connection with it (rather than wait for every remaining row).
// Only a copy's rows (Rows) may be of any size: any other answer past AnswerLimitBytes, which no
// listing, definition or comparison comes near, stops with a DbError and its session is cut.
class RecordSet {
public:
    enum class Reading { Whole, Stream, Rows };
    static constexpr size_t AnswerLimitBytes = size_t{64} << 20;

    RecordSet() = default; // a statement without rows
    // result comes from mysql_use_result; server (host:port) names it in messages.
    RecordSet(st_mysql *connection, st_mysql_res *result, Reading reading, ServerWait &wait, std::string server);
    RecordSet(RecordSet &&other) noexcept;
    RecordSet &operator=(RecordSet &&other) noexcept;
    ~RecordSet();

    bool isOpen() const { return static_cast<bool>(result_); }
    bool eof() const { return whole_ ? at_ >= storedRows_ : row_ == nullptr; }
    void moveNext();
    long long recordCount() const; // -1 when not known before reading
    int fieldCount() const { return fieldCount_; }
    FieldValue value(int column) const;
    // True for columns whose bytes are not text in a character set (BLOB, BINARY, BIT, spatial).
    bool isBinary(int column) const { return binary_.at(static_cast<size_t>(column)); }
    // Ends the result; an unread rest of a stream is read and dropped first.
    void close();

private:
    struct Freer {
        void operator()(st_mysql_res *r) const;
    };
    void fetch();
    void readWhole();
    void count(size_t bytes);
    void abandon() noexcept;
    void requireRow() const;
    bool streaming() const { return !whole_ && row_ != nullptr; }

    st_mysql *connection_ = nullptr;
    ServerWait *wait_ = nullptr;
    std::unique_ptr<st_mysql_res, Freer> result_;
    std::string server_;
    bool whole_ = false;
    bool bounded_ = false;
    size_t read_ = 0; // bytes so far, for the bound
    int fieldCount_ = 0;
    // A whole answer: every cell's bytes one after another, and per cell its end shifted left
    // once with the low bit set for NULL.
    std::string cells_;
    std::vector<std::uint64_t> ends_;
    size_t storedRows_ = 0;
    size_t at_ = 0;
    std::vector<bool> binary_;
    char **row_ = nullptr;
    unsigned long *lengths_ = nullptr;
};

} // namespace platform
