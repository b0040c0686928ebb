#include "transfer/compare/MatchStatements.h"

#include "platform/DbError.h"
#include "platform/SqlQuoting.h"
#include "transfer/shared/ServerText.h"

#include <algorithm>
#include <cctype>

namespace transfer {

namespace {

bool oneOf(const std::string &type, std::initializer_list<const char *> types)
{
    return std::any_of(types.begin(), types.end(), [&](const char *t) { return type == t; });
}

bool decimalText(std::string_view s)
{
    const size_t sign = !s.empty() && s[0] == '-' ? 1 : 0;
    const size_t point = s.find('.');
    const std::string_view whole = s.substr(sign, point == std::string_view::npos ? std::string_view::npos : point - sign);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    const auto digits = [](std::string_view d) {
        return std::all_of(d.begin(), d.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    return !whole.empty() && s.size() <= 70 && digits(whole) && digits(fraction)
           && (point == std::string_view::npos || !fraction.empty());
}

bool temporalText(std::string_view s)
{
    return !s.empty() && s.size() <= 40 && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == ' ' || c == '.';
    });
}

bool plainName(const std::string &name)
{
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

} // namespace

KeyColumn::Form keyFormOf(const StoredColumn &c)
{
    if (wholeNumberType(c.dataType) || c.dataType == "decimal")
        return KeyColumn::Form::Number;
    if (oneOf(c.dataType, {"date", "datetime", "timestamp", "time", "year"}))
        return KeyColumn::Form::Temporal;
    if (oneOf(c.dataType, {"char", "varchar", "tinytext", "text", "mediumtext", "longtext", "enum", "set"}))
        return KeyColumn::Form::Text;
    return KeyColumn::Form::Bytes;
}

MatchStatements::MatchStatements(std::string table, std::vector<StoredColumn> columns, std::vector<KeyColumn> key,
                                 bool noBackslashEscapes)
    : table_(std::move(table)), columns_(std::move(columns)), key_(std::move(key)),
      noBackslashEscapes_(noBackslashEscapes)
{
    for (const StoredColumn &c : columns_)
        sentAs_.push_back(sentAs(c));
    if (key_.empty())
        throw platform::DbError(0, "the table has no key to find its rows by");
    for (const KeyColumn &k : key_) {
        if (k.column >= columns_.size())
            throw platform::DbError(0, "the key names a column the table has not");
        const std::string &type = columns_[k.column].dataType;
        if (type == "float" || type == "double")
            throw platform::DbError(0, "a key of " + type + " values cannot find its rows exactly");
        if (k.form == KeyColumn::Form::Text && !plainName(k.charset))
            throw platform::DbError(0, "the key's character set is not a plain name");
    }
}

void MatchStatements::appendValue(std::string &out, size_t column, const std::optional<std::string> &value) const
{
    appendSentValue(out, sentAs_[column], columns_[column], !value, value ? std::string_view(*value) : std::string_view(),
                    noBackslashEscapes_);
}

std::string MatchStatements::insert(const Cells &row) const { return insert(std::vector<const Cells *>{&row}); }

std::string MatchStatements::insert(const std::vector<const Cells *> &rows) const
{
    std::string s = "INSERT INTO ";
    platform::appendBackquoted(s, table_);
    s += ' ' + namesList(columns_) + " VALUES ";
    for (size_t r = 0; r < rows.size(); ++r) {
        const Cells &row = *rows[r];
        if (row.size() != columns_.size())
            throw platform::DbError(0, "a row of the source has not the table's columns");
        s += r > 0 ? ", (" : "(";
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                s += ", ";
            appendValue(s, c, row[c]);
        }
        s += ')';
    }
    return s;
}

std::string MatchStatements::update(const Cells &row, const std::vector<bool> &changed, const Cells &keyValues) const
{
    if (row.size() != columns_.size() || changed.size() != columns_.size())
        throw platform::DbError(0, "a row of the source has not the table's columns");
    std::string set;
    for (size_t c = 0; c < columns_.size(); ++c) {
        if (!changed[c])
            continue;
        set += set.empty() ? " SET " : ", ";
        platform::appendBackquoted(set, columns_[c].name);
        set += " = ";
        appendValue(set, c, row[c]);
    }
    if (set.empty())
        return {};
    std::string s = "UPDATE ";
    platform::appendBackquoted(s, table_);
    return s + set + " WHERE " + keyCondition(keyValues) + " LIMIT 1";
}

std::string MatchStatements::remove(const Cells &keyValues) const
{
    std::string s = "DELETE FROM ";
    platform::appendBackquoted(s, table_);
    return s + " WHERE " + keyCondition(keyValues) + " LIMIT 1";
}

std::string MatchStatements::remove(const std::vector<const Cells *> &keys) const
{
    std::string s = "DELETE FROM ";
    platform::appendBackquoted(s, table_);
    return s + " WHERE " + keysCondition(keys);
}

std::string MatchStatements::keysCondition(const std::vector<const Cells *> &keys) const
{
    if (keys.empty())
        throw platform::DbError(0, "no key to find rows by");
    std::string s;
    if (key_.size() == 1) {
        platform::appendBackquoted(s, columns_[key_[0].column].name);
        s += " IN (";
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i]->size() != 1)
                throw platform::DbError(0, "a key came without all of its values");
            if (i > 0)
                s += ", ";
            appendKeyValue(s, key_[0], (*keys[i])[0]);
        }
        return s + ')';
    }
    for (size_t i = 0; i < keys.size(); ++i)
        s += (i > 0 ? ") OR (" : "(") + keyCondition(*keys[i]);
    return s + ')';
}

std::string MatchStatements::keySelect() const
{
    std::string s;
    for (const KeyColumn &k : key_) {
        if (!s.empty())
            s += ", ";
        if (k.form == KeyColumn::Form::Text)
            s += "CONVERT(";
        platform::appendBackquoted(s, columns_[k.column].name);
        if (k.form == KeyColumn::Form::Text)
            s += " USING " + k.charset + ')';
    }
    return s;
}

Cells MatchStatements::keyOf(const Cells &row) const
{
    Cells key;
    for (const KeyColumn &k : key_)
        key.push_back(row.at(k.column));
    return key;
}

std::string MatchStatements::keyCondition(const Cells &keyValues) const
{
    if (keyValues.size() != key_.size())
        throw platform::DbError(0, "a key came without all of its values");
    std::string s;
    for (size_t i = 0; i < key_.size(); ++i) {
        if (i > 0)
            s += " AND ";
        platform::appendBackquoted(s, columns_[key_[i].column].name);
        s += " = ";
        appendKeyValue(s, key_[i], keyValues[i]);
    }
    return s;
}

void MatchStatements::appendKeyValue(std::string &s, const KeyColumn &k, const std::optional<std::string> &value) const
{
    // A key holds no NULL: the compare took only keys whose columns cannot.
    if (!value)
        throw platform::DbError(0, "a key value is NULL");
    const std::string &v = *value;
    switch (k.form) {
    case KeyColumn::Form::Number:
        if (!wholeNumberText(v) && !decimalText(v))
            throw platform::DbError(0, "a key value of " + columns_[k.column].name + " is not a number");
        s += v;
        break;
    case KeyColumn::Form::Temporal:
        if (!temporalText(v))
            throw platform::DbError(0, "a key value of " + columns_[k.column].name + " is not a date or time");
        s += '\'' + v + '\'';
        break;
    case KeyColumn::Form::Bytes:
        platform::appendHexLiteral(s, v);
        break;
    case KeyColumn::Form::Text:
        // A literal that yields to the column's own collation (as CONVERT(… USING) would not on
        // MySQL, whose default collation is another than the column's), so its index finds the row.
        s += '_' + k.charset + ' ';
        platform::appendHexLiteral(s, v);
        break;
    }
}

} // namespace transfer
