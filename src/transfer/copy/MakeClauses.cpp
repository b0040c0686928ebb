#include "transfer/copy/MakeClauses.h"

#include "transfer/shared/TextParts.h"

#include <algorithm>
#include <cctype>

namespace transfer {

bool mayHaveMySqlClauses(const std::string &create)
{
    return create.find("/*!8") != std::string::npos || create.find(" ((") != std::string::npos;
}

bool mayHaveMariaDbClauses(const std::string &create)
{
    return create.find("/*M!") != std::string::npos || create.find("PAGE_COMPRESS") != std::string::npos
           || create.find("SEQUENCE=1") != std::string::npos || create.find("WITH SYSTEM VERSIONING") != std::string::npos
           || create.find("` inet") != std::string::npos || create.find("` uuid") != std::string::npos
           || create.find("  VECTOR KEY `") != std::string::npos;
}

namespace {

// Takes the version comment at..end+2 out of text with the blanks before it, says so, and returns
// where the text goes on.
size_t eraseComment(std::string &text, size_t at, size_t end, const std::string &clause, const char *make,
                    std::vector<std::string> &changes)
{
    size_t from = at;
    while (from > 0 && text[from - 1] == ' ')
        --from;
    text.erase(from, end + 2 - from);
    changes.push_back("clause " + clause + " left out: " + make + " does not know it");
    return from;
}

// MariaDB's types of addresses and UUIDs as the text they are read as, which MySQL keeps exactly;
// byte for byte, as MariaDB compares them.
struct TextType {
    std::string_view type;
    std::string_view text;
};
constexpr TextType TextTypes[] = {{"inet6", "varchar(39)"}, {"inet4", "varchar(15)"}, {"uuid", "char(36)"}};

// MariaDB's vector indexes, which MySQL has not: the vectors stay, each line of such a key goes.
void withoutVectorKeys(std::string &out, std::vector<std::string> &changes)
{
    for (size_t at = out.find("\n  VECTOR KEY `"); at != std::string::npos; at = out.find("\n  VECTOR KEY `", at)) {
        const size_t name = at + 14;
        const size_t end = std::min(out.find('\n', at + 1), out.size());
        const size_t nameEnd = quotedEnd(out, name);
        changes.push_back("vector index " + out.substr(name, nameEnd - name) + " left out: MySQL has none");
        const bool lastLine = out[end - 1] != ',';
        out.erase(at, end - at);
        if (lastLine && at > 0 && out[at - 1] == ',') // the line before it ends the list now
            out.erase(at - 1, 1);
    }
}

void typesAsText(std::string &out, std::vector<std::string> &changes)
{
    for (size_t line = 0; line < out.size();) {
        const size_t end = std::min(out.find('\n', line), out.size());
        if (out.compare(line, 3, "  `") == 0) {
            const size_t type = quotedEnd(out, line + 2) + 1;
            for (const TextType &t : TextTypes) {
                const size_t after = type + t.type.size();
                if (type < end && out.compare(type, t.type.size(), t.type) == 0 && (after >= end || out[after] == ' ' || out[after] == ',')) {
                    const std::string text = std::string(t.text) + " CHARACTER SET ascii COLLATE ascii_bin";
                    out.replace(type, t.type.size(), text);
                    changes.push_back("type " + std::string(t.type) + " made " + std::string(t.text)
                                      + ", its values kept as text: MySQL has no such type");
                    break;
                }
            }
        }
        line = std::min(out.find('\n', line), out.size()) + 1;
    }
}

} // namespace

std::string withoutMySqlClauses(const std::string &create, std::vector<std::string> &changes)
{
    // SHOW CREATE TABLE writes one column, key or constraint a line.
    std::vector<std::string> lines;
    for (size_t start = 0; start < create.size();) {
        const size_t end = create.find('\n', start);
        lines.push_back(create.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? create.size() : end + 1;
    }
    std::vector<std::string> kept;
    for (std::string line : lines) {
        const std::string trimmed = line.substr(line.find_first_not_of(' ') == std::string::npos ? 0 : line.find_first_not_of(' '));
        // A functional key part: KEY `k` ((expression)). MariaDB has none.
        const bool functional = (trimmed.starts_with("KEY `") || trimmed.starts_with("UNIQUE KEY `")
                                 || trimmed.starts_with("INDEX `"))
                                && line.find("` ((") != std::string::npos;
        // A line left out that was the last of the list takes the comma before it along.
        const auto leaveOut = [&](const std::string &change) {
            changes.push_back(change);
            if (!kept.empty() && !line.ends_with(",") && kept.back().ends_with(","))
                kept.back().pop_back();
        };
        if (functional) {
            leaveOut("functional index " + trimmed.substr(trimmed.find('`'), trimmed.find("` ((") - trimmed.find('`') + 1)
                     + " left out: the destination has none");
            continue;
        }
        // A check MySQL does not enforce would be enforced: it goes, as it never held.
        if (line.find("/*!80016 NOT ENFORCED */") != std::string::npos) {
            leaveOut("check " + trimmed.substr(0, trimmed.find(" CHECK")) + " left out: not enforced on the source");
            continue;
        }
        // Other version comments of MySQL 8, which MariaDB skips: INVISIBLE it knows, written out
        // plainly; the rest goes.
        for (size_t at = line.find("/*!8"); at != std::string::npos; at = line.find("/*!8", at)) {
            const size_t end = line.find("*/", at);
            if (end == std::string::npos || at + 8 > line.size())
                break;
            const std::string inside = line.substr(at + 8, end - at - 8);
            const size_t first = inside.find_first_not_of(' ');
            const size_t last = inside.find_last_not_of(' ');
            const std::string clause = first == std::string::npos ? std::string() : inside.substr(first, last - first + 1);
            if (clause == "INVISIBLE") {
                line.replace(at, end + 2 - at, clause);
                at += clause.size();
                continue;
            }
            at = eraseComment(line, at, end, clause, "MariaDB", changes);
        }
        kept.push_back(std::move(line));
    }
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i)
        out += (i ? "\n" : "") + kept[i];
    return out;
}

std::string withoutMariaDbClauses(const std::string &create, std::vector<std::string> &changes)
{
    std::string out = create;
    // /*M!100301 COMPRESSED*/ and the like: MySQL would skip them unread; said, and taken out.
    for (size_t at = out.find("/*M!"); at != std::string::npos; at = out.find("/*M!", at)) {
        const size_t end = out.find("*/", at);
        if (end == std::string::npos)
            break;
        size_t body = at + 4;
        while (body < end && std::isdigit(static_cast<unsigned char>(out[body])))
            ++body;
        std::string clause = out.substr(body, end - body);
        clause.erase(0, clause.find_first_not_of(' '));
        clause.erase(clause.find_last_not_of(' ') + 1);
        at = eraseComment(out, at, end, clause, "MySQL", changes);
    }
    // Table options after the closing parenthesis of the columns.
    const auto dropOption = [&](const std::string &option, const std::string &change) {
        const size_t columnsEnd = out.find("\n)");
        const size_t at = out.find(option, columnsEnd == std::string::npos ? 0 : columnsEnd);
        if (at == std::string::npos)
            return;
        size_t end = at + option.size();
        while (end < out.size() && out[end] != ' ' && out[end] != '\n')
            ++end;
        size_t from = at;
        while (from > 0 && out[from - 1] == ' ')
            --from;
        out.erase(from, end - from);
        changes.push_back(change);
    };
    dropOption("`PAGE_COMPRESSED`=", "clause PAGE_COMPRESSED left out: MySQL does not know it");
    dropOption("PAGE_COMPRESSED=", "clause PAGE_COMPRESSED left out: MySQL does not know it");
    dropOption("`PAGE_COMPRESSION_LEVEL`=", "clause PAGE_COMPRESSION_LEVEL left out: MySQL does not know it");
    dropOption("SEQUENCE=1", "a sequence made a table: MySQL has no sequences");
    typesAsText(out, changes);
    withoutVectorKeys(out, changes);
    const size_t versioning = out.find(" WITH SYSTEM VERSIONING");
    if (versioning != std::string::npos) {
        out.erase(versioning, std::string_view(" WITH SYSTEM VERSIONING").size());
        changes.push_back("system versioning left out: MySQL has none");
    }
    return out;
}

} // namespace transfer
