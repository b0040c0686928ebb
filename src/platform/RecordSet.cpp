#include "platform/RecordSet.h"

#include "platform/DbError.h"
#include "platform/ServerWait.h"

#include <mysql.h>

#include <exception>
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

RecordSet::RecordSet(st_mysql *connection, st_mysql_res *result, bool buffered, ServerWait &wait)
    : connection_(connection), wait_(&wait), result_(result), buffered_(buffered)
{
    fieldCount_ = static_cast<int>(mysql_num_fields(result));
    MYSQL_FIELD *fields = mysql_fetch_fields(result);
    binary_.reserve(static_cast<size_t>(fieldCount_));
    for (int i = 0; i < fieldCount_; ++i)
        binary_.push_back(binaryColumn(fields[i]));
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
        buffered_ = other.buffered_;
        fieldCount_ = other.fieldCount_;
        binary_ = std::move(other.binary_);
        row_ = std::exchange(other.row_, nullptr);
        lengths_ = std::exchange(other.lengths_, nullptr);
    }
    return *this;
}

void RecordSet::fetch()
{
    if (buffered_) {
        row_ = mysql_fetch_row(result_.get()); // in memory already
    } else {
        MYSQL_RES *result = result_.get();
        wait_->run(
            connection_, [&] { return mysql_fetch_row_start(&row_, result); },
            [&](int events) { return mysql_fetch_row_cont(&row_, result, events); });
    }
    if (row_) {
        lengths_ = mysql_fetch_lengths(result_.get());
        return;
    }
    lengths_ = nullptr;
    if (!buffered_ && mysql_errno(connection_) != 0)
        throw DbError(static_cast<int>(mysql_errno(connection_)), mysql_error(connection_));
}

void RecordSet::requireRow() const
{
    if (!result_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    if (!row_)
        throw DbError(3021, "Either BOF or EOF is True, or the current record has been deleted.");
}

void RecordSet::moveNext()
{
    requireRow();
    fetch();
}

long long RecordSet::recordCount() const
{
    if (!result_)
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    return buffered_ ? static_cast<long long>(mysql_num_rows(result_.get())) : -1;
}

FieldValue RecordSet::value(int column) const
{
    requireRow();
    if (column < 0 || column >= fieldCount_)
        throw DbError(3265, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
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
    if (result_ && !buffered_ && row_ != nullptr && std::uncaught_exceptions() > 0)
        mariadb_cancel(connection_);
    result_.reset();
    row_ = nullptr;
    lengths_ = nullptr;
}

void RecordSet::close()
{
    if (result_ && !buffered_ && row_ != nullptr) {
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
