#include "platform/RecordSet.h"

#include "platform/DbError.h"
#include "platform/LinkCut.h"
#include "platform/ServerWait.h"

#include <mysql.h>

#include <exception>
#include <string>
#include <utility>

namespace platform {
namespace {

bool binaryColumn(const MYSQL_FIELD &f)
{
    switch (f.type) {
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_GEOMETRY:
        return true;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
        return f.charsetnr == 63; // the binary "character set"
    default:
        return false;
    }
}

} // namespace

void RecordSet::Freer::operator()(st_mysql_res *r) const { mysql_free_result(r); }

RecordSet::RecordSet(st_mysql *connection, st_mysql_res *result, Reading reading, ServerWait &wait, std::string server)
    : connection_(connection), wait_(&wait), result_(result), server_(std::move(server)),
      whole_(reading == Reading::Whole), bounded_(reading != Reading::Rows)
{
    fieldCount_ = static_cast<int>(mysql_num_fields(result));
    MYSQL_FIELD *fields = mysql_fetch_fields(result);
    binary_.reserve(static_cast<size_t>(fieldCount_));
    for (int i = 0; i < fieldCount_; ++i)
        binary_.push_back(binaryColumn(fields[i]));
    if (whole_)
        readWhole();
    else
        fetch();
}

RecordSet::RecordSet(RecordSet &&other) noexcept { *this = std::move(other); }

RecordSet &RecordSet::operator=(RecordSet &&other) noexcept
{
    if (this != &other) {
        abandon();
        connection_ = other.connection_;
        wait_ = other.wait_;
        result_ = std::move(other.result_);
        server_ = std::move(other.server_);
        whole_ = other.whole_;
        bounded_ = other.bounded_;
        read_ = other.read_;
        fieldCount_ = other.fieldCount_;
        binary_ = std::move(other.binary_);
        row_ = std::exchange(other.row_, nullptr);
        lengths_ = std::exchange(other.lengths_, nullptr);
        cells_ = std::move(other.cells_);
        ends_ = std::move(other.ends_);
        storedRows_ = std::exchange(other.storedRows_, 0);
        at_ = std::exchange(other.at_, 0);
    }
    return *this;
}

void RecordSet::count(size_t bytes)
{
    read_ += bytes;
    if (!bounded_ || read_ <= AnswerLimitBytes)
        return;
    // Reading the rest to free it could take for ever: the session is cut first.
    mariadb_cancel(connection_);
    row_ = nullptr;
    lengths_ = nullptr;
    throw DbError(0, "The answer of " + server_ + " passed " + std::to_string(AnswerLimitBytes >> 20)
                         + " MB, more than any list of tables, definition or comparison needs; it was not read "
                           "further, and that session was closed.");
}

void RecordSet::fetch()
{
    MYSQL_RES *result = result_.get();
    wait_->run(
        connection_, [&] { return mysql_fetch_row_start(&row_, result); },
        [&](int events) { return mysql_fetch_row_cont(&row_, result, events); });
    if (row_) {
        lengths_ = mysql_fetch_lengths(result);
        if (bounded_) {
            size_t bytes = 0;
            for (int i = 0; i < fieldCount_; ++i)
                bytes += lengths_[i] + 1;
            count(bytes);
        }
        return;
    }
    lengths_ = nullptr;
    if (mysql_errno(connection_) != 0)
        throw DbError(static_cast<int>(mysql_errno(connection_)), mysql_error(connection_));
}

// Every row now, into one block: the bound counts what is kept, cells' ends included.
void RecordSet::readWhole()
{
    for (fetch(); row_; fetch()) {
        count(sizeof(std::uint64_t) * static_cast<size_t>(fieldCount_));
        for (int i = 0; i < fieldCount_; ++i) {
            if (row_[i])
                cells_.append(row_[i], lengths_[i]);
            ends_.push_back(static_cast<std::uint64_t>(cells_.size()) << 1 | (row_[i] ? 0 : 1));
        }
        ++storedRows_;
    }
}

void RecordSet::requireRow() const
{
    if (!result_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    if (eof())
        throw DbError(3021, "Either BOF or EOF is True, or the current record has been deleted.");
}

void RecordSet::moveNext()
{
    requireRow();
    if (whole_)
        ++at_;
    else
        fetch();
}

long long RecordSet::recordCount() const
{
    if (!result_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    return whole_ ? static_cast<long long>(storedRows_) : -1;
}

FieldValue RecordSet::value(int column) const
{
    requireRow();
    if (column < 0 || column >= fieldCount_)
        throw DbError(3265, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    if (whole_) {
        const size_t cell = at_ * static_cast<size_t>(fieldCount_) + static_cast<size_t>(column);
        const std::uint64_t end = ends_[cell];
        if (end & 1)
            return {};
        const size_t from = cell == 0 ? 0 : static_cast<size_t>(ends_[cell - 1] >> 1);
        return {std::string_view(cells_.data() + from, static_cast<size_t>(end >> 1) - from), false};
    }
    const char *p = row_[column];
    if (!p)
        return {};
    return {std::string_view(p, lengths_[column]), false};
}

RecordSet::~RecordSet() { abandon(); }

void RecordSet::abandon() noexcept
{
    // Given up with rows still to come while an error or the program's end unwinds: freeing would
    // read them all first, so the connection is cut instead. Otherwise freeing reads the rest.
    if (result_ && streaming() && std::uncaught_exceptions() > 0)
        cutLink(connection_);
    result_.reset();
    row_ = nullptr;
    lengths_ = nullptr;
}

void RecordSet::close()
{
    // An answer's rest is read and dropped, counted as it comes: a server may not send for ever.
    while (result_ && streaming() && bounded_)
        fetch();
    if (result_ && streaming()) {
        // The rest of the stream is read and dropped, with the windows served meanwhile.
        MYSQL_RES *result = result_.release();
        wait_->run(
            connection_, [&] { return mysql_free_result_start(result); },
            [&](int events) { return mysql_free_result_cont(result, events); });
    }
    result_.reset();
    row_ = nullptr;
    lengths_ = nullptr;
}

} // namespace platform
