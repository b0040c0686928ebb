#pragma once

#include <memory>
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
// With a client-side cursor all rows are fetched at once and recordCount() is known;
// otherwise rows stream from the server as they are read, and a stream given up before its last
// row while an exception unwinds takes its connection with it (rather than wait for every
// remaining row).
class RecordSet {
public:
    RecordSet() = default; // a statement without rows
    RecordSet(st_mysql *connection, st_mysql_res *result, bool buffered, ServerWait &wait);
    RecordSet(RecordSet &&other) noexcept;
    RecordSet &operator=(RecordSet &&other) noexcept;
    ~RecordSet();

    bool isOpen() const { return static_cast<bool>(result_); }
    bool eof() const { return row_ == nullptr; }
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
    void abandon() noexcept;
    void requireRow() const;

    st_mysql *connection_ = nullptr;
    ServerWait *wait_ = nullptr;
    std::unique_ptr<st_mysql_res, Freer> result_;
    bool buffered_ = false;
    int fieldCount_ = 0;
    std::vector<bool> binary_;
    char **row_ = nullptr;
    unsigned long *lengths_ = nullptr;
};

} // namespace platform
