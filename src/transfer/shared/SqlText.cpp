#include "transfer/shared/SqlText.h"

#include "platform/SqlQuoting.h"
#include "transfer/shared/RowBuffer.h"

#include <algorithm>
#include <cctype>

namespace transfer {

std::string upperCaseOutsideQuotes(std::string_view type)
{
    std::string out;
    out.reserve(type.size());
    char quote = 0;
    for (size_t i = 0; i < type.size(); ++i) {
        const char c = type[i];
        if (quote) {
            out += c;
            if (c == '\\' && i + 1 < type.size()) {
                out += type[++i];
            } else if (c == quote) {
                if (i + 1 < type.size() && type[i + 1] == quote)
                    out += type[++i]; // a doubled quote stays inside the value
                else
                    quote = 0;
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else {
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

namespace {

std::string withTable(std::string_view head, std::string_view table)
{
    std::string s(head);
    platform::appendBackquoted(s, table);
    return s;
}

} // namespace

std::string describeStatement(std::string_view table) { return withTable("DESCRIBE ", table); }
std::string selectAllStatement(std::string_view table) { return withTable("SELECT * FROM ", table); }

std::string exactDoubleText(const std::string &value)
{
    // l: at most the exponent e of |v|, and no more than two below it, so the scaled value m is an
    // integer in [2^52, 2^55) whose low bits are zero; k shifts it to its canonical 53 bits.
    const std::string l = "(FLOOR(LOG2(ABS(" + value + "))) - 1)";
    const std::string p = "(52 - " + l + ")";
    const std::string m = "CAST(ABS(" + value + ") * POW(2, " + p + " DIV 2) * POW(2, " + p + " - " + p
                          + " DIV 2) AS UNSIGNED)";
    const std::string k = "((" + m + " >= 18014398509481984) + (" + m + " >= 9007199254740992))";
    return "IF(" + value + " = 0, '0', CONCAT(IF(" + value + " < 0, '-', ''), " + m + " >> " + k + ", 'p', " + l
           + " + " + k + "))";
}

void appendSelectedColumn(std::string &out, std::string_view name, bool isFloat)
{
    if (!isFloat) {
        platform::appendBackquoted(out, name);
        return;
    }
    out += '(';
    platform::appendBackquoted(out, name);
    out += " + 0e0)";
}

std::string selectRowsStatement(std::string_view table, const std::vector<ColumnDefinition> &columns)
{
    // Named, never *: an INVISIBLE column is left out of *, and its values would be lost.
    std::string s = "SELECT ";
    for (const ColumnDefinition &c : columns) {
        appendSelectedColumn(s, c.name, c.type.starts_with("FLOAT"));
        s += ", ";
    }
    s.resize(s.size() - 2);
    s += " FROM ";
    platform::appendBackquoted(s, table);
    return s;
}

namespace {

// The character a backslash escape of the server's type text stands for.
char unescaped(char c)
{
    switch (c) {
    case '0': return '\0';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'Z': return '\x1A';
    default: return c;
    }
}

// Rewrites every quoted value of the type text with its quotes doubled and no backslash escapes.
std::string withoutBackslashEscapes(std::string_view type)
{
    std::string out;
    out.reserve(type.size());
    size_t i = 0;
    while (i < type.size()) {
        if (type[i] != '\'') {
            out += type[i++];
            continue;
        }
        std::string value;
        for (++i; i < type.size(); ++i) {
            const char c = type[i];
            if (c == '\\' && i + 1 < type.size()) {
                value += unescaped(type[++i]);
            } else if (c == '\'') {
                if (i + 1 < type.size() && type[i + 1] == '\'') {
                    value += '\'';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            } else {
                value += c;
            }
        }
        platform::appendStringLiteral(out, value, true);
    }
    return out;
}

} // namespace

std::string destinationType(std::string_view type, const TypeRules &rules)
{
    std::string out = rules.noBackslashEscapes && type.find('\\') != std::string_view::npos
                          ? withoutBackslashEscapes(type)
                          : std::string(type);
    if (rules.timestampNeedsNull && out.starts_with("TIMESTAMP"))
        out += " NULL";
    return out;
}

std::string createTableStatement(std::string_view table, const std::vector<ColumnDefinition> &columns,
                                 const TypeRules &rules)
{
    std::string s = withTable("CREATE TABLE ", table);
    s += '(';
    for (const ColumnDefinition &c : columns) {
        platform::appendBackquoted(s, c.name);
        s += ' ';
        s += destinationType(c.type, rules);
        s += ',';
    }
    if (!columns.empty())
        s.pop_back();
    s += ')';
    return s;
}

bool enumWithoutEmptyValue(std::string_view type)
{
    if (type.size() < 5 || (type.substr(0, 5) != "ENUM(" && type.substr(0, 5) != "enum("))
        return false;
    // 'a','it''s','back\'s': a value is empty when its closing quote comes straight after the opening one.
    for (size_t i = 5; i < type.size(); ++i) {
        if (type[i] != '\'')
            continue;
        if (i + 1 < type.size() && type[i + 1] == '\'' && (i + 2 >= type.size() || type[i + 2] != '\''))
            return false;
        for (++i; i < type.size(); ++i) {
            if (type[i] == '\\') {
                ++i;
            } else if (type[i] == '\'') {
                if (i + 1 < type.size() && type[i + 1] == '\'')
                    ++i;
                else
                    break;
            }
        }
    }
    return true;
}

std::string insertHead(std::string_view table, bool ignore)
{
    std::string s = withTable(ignore ? "INSERT IGNORE INTO " : "INSERT INTO ", table);
    s += " VALUES(";
    return s;
}

void buildInsertStatement(std::string &out, std::string_view head, const RowBuffer &rows, size_t row,
                          const ValueEncoding &encoding)
{
    out.assign(head);
    const int columns = rows.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            out += ", ";
        const RowBuffer::Cell cell = rows.cell(row, c);
        if (cell.isNull())
            out += "NULL";
        else if (encoding.binary[static_cast<size_t>(c)])
            platform::appendBinaryLiteral(out, cell.bytes(), encoding.noBackslashEscapes);
        else
            platform::appendStringLiteral(out, cell.bytes(), encoding.noBackslashEscapes);
    }
    out += ')';
}

} // namespace transfer
