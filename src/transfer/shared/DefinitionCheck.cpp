#include "transfer/shared/DefinitionCheck.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "transfer/shared/TextParts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace transfer {

namespace {

[[noreturn]] void refuse(const platform::Connection &source, std::string_view what, std::string_view name,
                         const std::string &why)
{
    throw platform::DbError(0, "The server " + source.serverName() + " sent a definition of the " + std::string(what)
                                   + " " + std::string(name) + " that " + why
                                   + ". It was not passed on: nothing was sent for it.");
}

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

std::string upper(std::string_view word)
{
    std::string out(word);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

// The text's words (upper case) and marks, a quoted name or string as one token of its own
// ("'…'" kept as written); the server's versioned comments count as the text they hold.
std::vector<std::string> tokens(std::string_view text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (isQuote(c)) {
            const size_t end = quotedEnd(text, i);
            out.emplace_back(text.substr(i, end - i));
            i = end;
        } else if (text.substr(i, 3) == "/*!" || text.substr(i, 4) == "/*M!") {
            i = text.find('!', i) + 1;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i;
        } else if (text.substr(i, 2) == "*/") {
            i += 2;
        } else if (isIdentifierChar(c)) {
            size_t end = i;
            while (end < text.size() && isIdentifierChar(text[end]))
                ++end;
            out.push_back(upper(text.substr(i, end - i)));
            i = end;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            out.emplace_back(1, c);
            ++i;
        }
    }
    return out;
}

bool reachesElsewhere(const std::string &engine)
{
    return engine == "FEDERATED" || engine == "FEDERATEDX" || engine == "CONNECT" || engine == "SPIDER";
}

// Table options SHOW CREATE TABLE writes, by MariaDB or MySQL; the flag: takes a value.
struct Option {
    std::array<const char *, 3> words;
    bool value;
};
constexpr Option Options[] = {
    {{"DEFAULT", "CHARACTER", "SET"}, true}, {{"DEFAULT", "CHARSET"}, true}, {{"DEFAULT", "COLLATE"}, true},
    {{"CHARACTER", "SET"}, true}, {{"WITH", "SYSTEM", "VERSIONING"}, false}, {{"START", "TRANSACTION"}, false},
    {{"ENGINE"}, true}, {{"AUTO_INCREMENT"}, true}, {{"CHARSET"}, true}, {{"COLLATE"}, true},
    {{"ROW_FORMAT"}, true}, {{"COMMENT"}, true}, {{"KEY_BLOCK_SIZE"}, true}, {{"STATS_PERSISTENT"}, true},
    {{"STATS_AUTO_RECALC"}, true}, {{"STATS_SAMPLE_PAGES"}, true}, {{"PAGE_CHECKSUM"}, true},
    {{"TRANSACTIONAL"}, true}, {{"PACK_KEYS"}, true}, {{"CHECKSUM"}, true}, {{"TABLE_CHECKSUM"}, true},
    {{"DELAY_KEY_WRITE"}, true}, {{"MAX_ROWS"}, true}, {{"MIN_ROWS"}, true}, {{"AVG_ROW_LENGTH"}, true},
    {{"COMPRESSION"}, true}, {{"ENCRYPTED"}, true}, {{"ENCRYPTION"}, true}, {{"ENCRYPTION_KEY_ID"}, true},
    {{"PAGE_COMPRESSED"}, true}, {{"PAGE_COMPRESSION_LEVEL"}, true}, {{"IETF_QUOTES"}, true},
    {{"SEQUENCE"}, true}, {{"INSERT_METHOD"}, true}, {{"TABLESPACE"}, true}, {{"STORAGE"}, true},
    {{"AUTOEXTEND_SIZE"}, true}, {{"SECONDARY_ENGINE"}, true}, {{"ENGINE_ATTRIBUTE"}, true},
    {{"SECONDARY_ENGINE_ATTRIBUTE"}, true},
};

size_t wordsOf(const Option &o) { return o.words[2] ? 3 : o.words[1] ? 2 : 1; }

const Option *optionAt(const std::vector<std::string> &t, size_t i)
{
    for (const Option &o : Options) {
        const size_t n = wordsOf(o);
        bool match = i + n <= t.size();
        for (size_t k = 0; match && k < n; ++k)
            match = t[i + k] == o.words[k];
        if (match)
            return &o;
    }
    return nullptr;
}

// What follows the closing parenthesis: options, then at most a partition clause.
void checkTail(const platform::Connection &source, std::string_view table, std::string_view tail, bool sameServer)
{
    const std::vector<std::string> t = tokens(tail);
    const auto fail = [&](const std::string &why) { refuse(source, "table", table, why); };
    const auto checkEngine = [&](const std::string &engine) {
        if (reachesElsewhere(engine) && !sameServer)
            fail("uses the engine " + engine + ", which reaches other servers or files");
    };
    size_t i = 0;
    while (i < t.size()) {
        const std::string &word = t[i];
        if (word == "PARTITION" && i + 1 < t.size() && t[i + 1] == "BY")
            break;
        if (word == "SELECT" || word == "AS" || word == "IGNORE" || word == "REPLACE")
            fail("ends in " + word + " …, which would fill the table from the destination's own tables");
        if (word == "CONNECTION" || word == "UNION")
            fail("has the option " + word + ", which reaches other servers or tables");
        if ((word == "DATA" || word == "INDEX") && i + 1 < t.size() && t[i + 1] == "DIRECTORY")
            fail("has the option " + word + " DIRECTORY, which places files on the destination's disk");
        const Option *o = optionAt(t, i);
        if (!o)
            fail("has the table option " + word + ", which Tabulink does not know");
        i += wordsOf(*o);
        if (!o->value)
            continue;
        if (i < t.size() && t[i] == "=")
            ++i;
        if (i >= t.size() || t[i] == "=" || t[i] == "(" || t[i] == ")" || t[i] == ",")
            fail("has an option " + std::string(o->words[0]) + " without a value");
        if (std::string_view(o->words[0]) == "ENGINE")
            checkEngine(t[i]);
        ++i;
    }
    // The partition clause: names, numbers, expressions of the key; nothing that reads tables,
    // places files or reaches another server.
    for (; i < t.size(); ++i) {
        const std::string &word = t[i];
        if (word == "SELECT")
            fail("has a SELECT in its partitions");
        if (word == "CONNECTION")
            fail("has a partition with a CONNECTION, which reaches other servers");
        if (word == "DIRECTORY")
            fail("has a partition with a DATA or INDEX DIRECTORY, which places files on the destination's disk");
        if (word == "ENGINE") {
            size_t v = i + 1;
            if (v < t.size() && t[v] == "=")
                ++v;
            if (v < t.size())
                checkEngine(t[v]);
        }
    }
}

bool startsWithWord(std::string_view line, std::string_view words)
{
    return line.size() > words.size() && upper(line.substr(0, words.size())) == words
           && !isIdentifierChar(line[words.size()]);
}

} // namespace

void checkTableDefinition(const platform::Connection &source, std::string_view table, std::string_view create,
                          bool sameServer)
{
    const auto fail = [&](const std::string &why) { refuse(source, "table", table, why); };
    constexpr std::string_view Head = "CREATE TABLE ";
    if (!create.starts_with(Head) || create.size() <= Head.size() || create[Head.size()] != '`')
        fail("does not start as CREATE TABLE `name`");
    size_t at = Head.size();
    while (at < create.size() && create[at] == '`') // a doubled quote in the name closes and opens again
        at = quotedEnd(create, at);
    if (create.substr(at, 3) != " (\n")
        fail("does not open its columns after its name");
    at += 3;
    // One column, index or constraint a line, up to the line that closes them.
    constexpr std::string_view Lines[] = {"PRIMARY KEY", "UNIQUE KEY", "UNIQUE INDEX", "UNIQUE", "KEY", "INDEX",
                                          "FULLTEXT KEY", "FULLTEXT", "SPATIAL KEY", "SPATIAL", "VECTOR KEY",
                                          "VECTOR INDEX", "CONSTRAINT", "FOREIGN KEY", "CHECK", "PERIOD FOR"};
    for (;;) {
        if (at >= create.size())
            fail("never closes its columns");
        size_t end = at;
        while (end < create.size() && create[end] != '\n')
            end = isQuote(create[end]) ? quotedEnd(create, end) : end + 1;
        std::string_view line = create.substr(at, end - at);
        if (line.starts_with(")")) {
            checkTail(source, table, create.substr(at + 1), sameServer);
            return;
        }
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        const bool known = line.starts_with("`")
                           || std::any_of(std::begin(Lines), std::end(Lines),
                                          [&](std::string_view w) { return startsWithWord(line, w); });
        if (!known)
            fail("has the line \"" + std::string(line.substr(0, 80)) + "\", which is not a column, key or constraint");
        const std::vector<std::string> words = tokens(line);
        if (std::find(words.begin(), words.end(), "SELECT") != words.end())
            fail("has a SELECT among its columns");
        at = end + 1;
    }
}

void checkViewBody(const platform::Connection &source, std::string_view view, std::string_view afterAs)
{
    const std::vector<std::string> words = tokens(afterAs.substr(0, 64));
    size_t first = 0;
    while (first < words.size() && words[first] == "(")
        ++first;
    if (first >= words.size() || (words[first] != "SELECT" && words[first] != "WITH" && words[first] != "VALUES"))
        refuse(source, "view", view, "is not a SELECT after its AS");
}

} // namespace transfer
