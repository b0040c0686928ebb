#include "transfer/shared/ServerText.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/RecordSet.h"
#include "platform/SqlQuoting.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <cctype>

namespace transfer {

namespace {

[[noreturn]] void refuse(const platform::Connection &server, const std::string &what)
{
    throw platform::DbError(0, "The server " + server.serverName() + " sent " + what
                                   + ". It was not passed on: nothing was sent for it.");
}

std::string shown(std::string_view text)
{
    constexpr size_t Most = 120;
    return "\"" + std::string(text.substr(0, Most)) + (text.size() > Most ? "…" : "") + "\"";
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A reader over text, in the pieces the checks need.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }
    void skipSpaces()
    {
        while (!atEnd() && text_[at_] == ' ')
            ++at_;
    }
    bool take(char c)
    {
        skipSpaces();
        if (peek() != c)
            return false;
        ++at_;
        return true;
    }
    // A keyword (or several, spaces between), whole words only.
    bool takeWords(std::string_view words)
    {
        skipSpaces();
        if (text_.substr(at_, words.size()) != words)
            return false;
        const size_t end = at_ + words.size();
        if (end < text_.size() && isWordChar(text_[end]))
            return false;
        at_ = end;
        return true;
    }
    std::string_view word()
    {
        skipSpaces();
        const size_t start = at_;
        while (!atEnd() && isWordChar(text_[at_]))
            ++at_;
        return text_.substr(start, at_ - start);
    }
    bool number()
    {
        skipSpaces();
        const size_t start = at_;
        while (!atEnd() && std::isdigit(static_cast<unsigned char>(text_[at_])))
            ++at_;
        return at_ > start;
    }
    // A quoted string: the quote written twice stands for itself, and so does any character after a
    // backslash in a string literal of a session that reads backslashes as escapes.
    bool quoted(char quote, bool backslashEscapes = false)
    {
        skipSpaces();
        if (peek() != quote)
            return false;
        for (++at_; at_ < text_.size(); ++at_) {
            if (backslashEscapes && text_[at_] == '\\' && quote != '`') {
                ++at_;
                continue;
            }
            if (text_[at_] == quote) {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == quote) {
                    ++at_;
                    continue;
                }
                ++at_;
                return true;
            }
        }
        return false;
    }
    bool identifier() { return quoted('`'); }
    size_t position() const { return at_; }
    bool identifierList()
    {
        if (!take('('))
            return false;
        do {
            if (!identifier())
                return false;
        } while (take(','));
        return take(')');
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

} // namespace

namespace {

bool isColumnType(std::string_view type, bool backslashEscapes)
{
    Reader r(type);
    bool fits = !r.word().empty();
    if (fits && r.take('(')) {
        const bool values = (r.skipSpaces(), r.peek() == '\'');
        do
            fits = values ? r.quoted('\'', backslashEscapes) : r.number();
        while (fits && r.take(','));
        fits = fits && r.take(')');
    }
    while (fits && (r.skipSpaces(), !r.atEnd()))
        fits = r.takeWords("UNSIGNED") || r.takeWords("SIGNED") || r.takeWords("ZEROFILL") || r.takeWords("BINARY");
    return fits;
}

} // namespace

void checkColumnType(const platform::Connection &server, std::string_view table, std::string_view column,
                     std::string_view type)
{
    // Whichever way the destination's session reads backslashes, the text must stay one type.
    if (!isColumnType(type, false) || !isColumnType(type, true))
        refuse(server, "the type " + shown(type) + " for the column " + std::string(column) + " of "
                           + std::string(table) + ", which is not a column type");
}

void checkOneStatement(const platform::Connection &server, std::string_view what, std::string_view sql,
                       bool noBackslashEscapes)
{
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`') {
            Reader r(sql.substr(i));
            if (!r.quoted(c, !noBackslashEscapes))
                refuse(server, std::string(what) + std::string(" with a quote left open"));
            i += r.position() - 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            // Comments the server runs (/*! … */, /*M! … */) hold SQL: looked into like the rest.
            const size_t end = sql.find("*/", i + 2);
            if (end == std::string_view::npos)
                refuse(server, std::string(what) + std::string(" with a comment left open"));
            const std::string_view inside = sql.substr(i + 2, end - i - 2);
            if (inside.starts_with("!") || inside.starts_with("M!"))
                checkOneStatement(server, what, inside.substr(inside.find('!') + 1), noBackslashEscapes);
            i = end + 1;
        } else if (c == '#' || (c == '-' && i + 2 < sql.size() && sql[i + 1] == '-' && sql[i + 2] == ' ')) {
            refuse(server, std::string(what) + std::string(" with a comment that hides the rest of its line"));
        } else if (c == ';') {
            refuse(server, std::string(what) + std::string(" made of more than one statement"));
        }
    }
}

namespace {

// An identifier as a definition may write it: in backquotes, or bare; its name, or nothing.
std::optional<std::string> takeName(Reader &r, std::string_view text)
{
    r.skipSpaces();
    const size_t start = r.position();
    if (r.peek() == '`') {
        if (!r.identifier())
            return std::nullopt;
        std::string name;
        for (size_t i = start + 1; i + 1 < r.position(); ++i) {
            name += text[i];
            if (text[i] == '`')
                ++i; // a doubled backquote stands for one
        }
        return name;
    }
    const std::string_view bare = r.word();
    if (bare.empty())
        return std::nullopt;
    return std::string(bare);
}

} // namespace

std::string checkedTriggerOn(const platform::Connection &server, std::string_view name, std::string_view table,
                             std::string_view createTrigger, std::string_view onTable)
{
    // CREATE TRIGGER name {BEFORE|AFTER} {INSERT|UPDATE|DELETE} ON [db.]table FOR EACH ROW body
    Reader r(createTrigger);
    bool fits = r.takeWords("CREATE TRIGGER") && takeName(r, createTrigger) == std::string(name)
                && (r.takeWords("BEFORE") || r.takeWords("AFTER"))
                && (r.takeWords("INSERT") || r.takeWords("UPDATE") || r.takeWords("DELETE")) && r.takeWords("ON");
    r.skipSpaces();
    const size_t targetStart = r.position();
    std::optional<std::string> target = fits ? takeName(r, createTrigger) : std::nullopt;
    if (target && r.take('.'))
        target = takeName(r, createTrigger);
    const size_t targetEnd = r.position();
    fits = fits && target == std::string(table) && r.takeWords("FOR EACH ROW");
    if (!fits)
        refuse(server, "a definition for the trigger " + std::string(name) + " of " + std::string(table)
                           + " that is not one: " + shown(createTrigger));
    // The body may hold statements of its own between BEGIN and END; the server takes it as one.
    std::string retargeted(createTrigger.substr(0, targetStart));
    platform::appendBackquoted(retargeted, onTable);
    retargeted += createTrigger.substr(targetEnd);
    return retargeted;
}

void checkForeignKey(const platform::Connection &server, std::string_view table, std::string_view foreignKey)
{
    Reader r(foreignKey);
    bool fits = r.takeWords("CONSTRAINT") && r.identifier() && r.takeWords("FOREIGN KEY") && r.identifierList()
                && r.takeWords("REFERENCES") && r.identifier();
    if (fits && r.take('.'))
        fits = r.identifier();
    fits = fits && r.identifierList();
    for (const char *event : {"ON DELETE", "ON UPDATE"}) {
        if (fits && r.takeWords(event))
            fits = r.takeWords("RESTRICT") || r.takeWords("CASCADE") || r.takeWords("SET NULL")
                   || r.takeWords("NO ACTION") || r.takeWords("SET DEFAULT");
    }
    if (!fits || (r.skipSpaces(), !r.atEnd()))
        refuse(server, "a foreign key of " + std::string(table) + " that is not one: " + shown(foreignKey));
}

long long wholeNumber(const platform::Connection &server, std::string_view what, std::string_view text,
                      long long least, long long most)
{
    long long n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end != text.data() + text.size() || n < least || n > most)
        refuse(server, std::string(what) + " as " + shown(text) + ", where a whole number from "
                           + std::to_string(least) + " to " + std::to_string(most) + " belongs");
    return n;
}

void checkSqlMode(const platform::Connection &server, std::string_view mode)
{
    for (char c : mode)
        if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_'
              || c == ','))
            refuse(server, "an sql_mode of " + shown(mode) + ", which is not a list of modes");
}

platform::DbError warningRefusal(platform::Connection &server, bool errorValuesExpected)
{
    constexpr int ErrorValue = 1265;
    platform::RecordSet w = server.execute("SHOW WARNINGS");
    int number = 0;
    std::string text;
    for (bool first = true; !w.eof(); w.moveNext(), first = false) {
        const int code = static_cast<int>(wholeNumber(server, "a warning number", w.value(1).bytes, 0, 65535));
        if (first || (number == ErrorValue && code != ErrorValue)) {
            number = code;
            text = std::string(w.value(2).bytes);
        }
        if (!errorValuesExpected || code != ErrorValue)
            break;
    }
    w.close();
    return {number, text.empty() ? "The destination changed a value on its way in." : text};
}

bool wholeNumberText(std::string_view s)
{
    const size_t digits = !s.empty() && s[0] == '-' ? 1 : 0;
    return s.size() > digits && s.size() <= 21
           && std::all_of(s.begin() + digits, s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

} // namespace transfer
