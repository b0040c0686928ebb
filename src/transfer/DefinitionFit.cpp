#include "transfer/DefinitionFit.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"

#include <algorithm>
#include <cctype>

namespace transfer {

namespace {

constexpr int UnknownCollation = 1273;
constexpr int UnknownCharacterSet = 1115;
constexpr int CollationNotForCharacterSet = 1253;

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string characterSetOf(const std::string &collation)
{
    const size_t underscore = collation.find('_');
    return underscore == std::string::npos ? collation : collation.substr(0, underscore);
}

bool endsWith(const std::string &s, std::string_view tail) { return s.size() >= tail.size() && s.ends_with(tail); }

} // namespace

DefinitionFit::DefinitionFit(platform::Connection &destination)
{
    platform::Connection *server = &destination;
    facts_.mariaDb = [server] {
        platform::RecordSet r = server->execute("SELECT VERSION()");
        const bool mariaDb = !r.eof() && r.value(0).bytes.find("MariaDB") != std::string_view::npos;
        r.close();
        return mariaDb;
    };
    // Only names made of letters, digits and underscores get here: asked as they are.
    facts_.hasCollation = [server](const std::string &collation) {
        try {
            server->execute("SELECT CONVERT('' USING " + characterSetOf(collation) + ") COLLATE " + collation);
            return true;
        } catch (const platform::DbError &e) {
            if (e.number() != UnknownCollation && e.number() != UnknownCharacterSet
                && e.number() != CollationNotForCharacterSet)
                throw;
            return false;
        }
    };
}

bool DefinitionFit::hasCollation(const std::string &collation)
{
    const auto found = known_.find(collation);
    if (found != known_.end())
        return found->second;
    return known_[collation] = facts_.hasCollation(collation);
}

std::string DefinitionFit::closest(const std::string &collation)
{
    const auto done = replaced_.find(collation);
    if (done != replaced_.end())
        return done->second;
    const std::string set = characterSetOf(collation);
    // Case- and accent-sensitive ones compare closest to the binary one; the rest to the newest
    // Unicode collation older servers have.
    const bool sensitive = endsWith(collation, "_bin") || endsWith(collation, "_cs") || endsWith(collation, "_as_cs");
    std::vector<std::string> candidates;
    if (sensitive)
        candidates = {set + "_bin"};
    else
        candidates = {set + "_unicode_520_ci", set + "_unicode_ci", set + "_general_ci"};
    std::string chosen;
    for (const std::string &c : candidates)
        if (c != collation && hasCollation(c)) {
            chosen = c;
            break;
        }
    replaced_[collation] = chosen;
    return chosen;
}

bool DefinitionFit::destinationIsMariaDb()
{
    if (mariaDb_ < 0)
        mariaDb_ = facts_.mariaDb() ? 1 : 0;
    return mariaDb_ == 1;
}

std::string DefinitionFit::adapt(std::string_view create, std::vector<std::string> &changes)
{
    std::string fitted = collationsFitted(create, changes);
    if (fitted.find("/*!8") != std::string::npos || fitted.find(" ((") != std::string::npos) {
        if (destinationIsMariaDb())
            fitted = mySqlClausesOut(fitted, changes);
    }
    const bool mariaDbOnly = fitted.find("/*M!") != std::string::npos || fitted.find("PAGE_COMPRESS") != std::string::npos
                             || fitted.find("SEQUENCE=1") != std::string::npos
                             || fitted.find("WITH SYSTEM VERSIONING") != std::string::npos;
    if (mariaDbOnly && !destinationIsMariaDb())
        fitted = mariaDbClausesOut(fitted, changes);
    // Each change once, however many columns it touched.
    std::vector<std::string> once;
    for (const std::string &change : changes)
        if (std::find(once.begin(), once.end(), change) == once.end())
            once.push_back(change);
    changes = std::move(once);
    return fitted;
}

std::string DefinitionFit::mySqlClausesOut(const std::string &create, std::vector<std::string> &changes)
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
            size_t from = at;
            while (from > 0 && line[from - 1] == ' ')
                --from;
            line.erase(from, end + 2 - from);
            changes.push_back("clause " + clause + " left out: MariaDB does not know it");
            at = from;
        }
        kept.push_back(std::move(line));
    }
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i)
        out += (i ? "\n" : "") + kept[i];
    return out;
}

std::string DefinitionFit::mariaDbClausesOut(const std::string &create, std::vector<std::string> &changes)
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
        size_t from = at;
        while (from > 0 && out[from - 1] == ' ')
            --from;
        out.erase(from, end + 2 - from);
        changes.push_back("clause " + clause + " left out: MySQL does not know it");
        at = from;
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
    const size_t versioning = out.find(" WITH SYSTEM VERSIONING");
    if (versioning != std::string::npos) {
        out.erase(versioning, std::string_view(" WITH SYSTEM VERSIONING").size());
        changes.push_back("system versioning left out: MySQL has none");
    }
    return out;
}

std::string DefinitionFit::collationsFitted(std::string_view create, std::vector<std::string> &changes)
{
    std::string out;
    out.reserve(create.size());
    char quote = 0;
    for (size_t i = 0; i < create.size(); ++i) {
        const char c = create[i];
        if (quote) {
            out += c;
            if (c == '\\' && quote == '\'' && i + 1 < create.size())
                out += create[++i];
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '`' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        // COLLATE name, COLLATE=name, outside quotes and as a whole word.
        const bool atWord = (i == 0 || !isNameChar(create[i - 1])) && create.substr(i, 7) == "COLLATE"
                            && (i + 7 >= create.size() || !isNameChar(create[i + 7]));
        if (!atWord) {
            out += c;
            continue;
        }
        size_t at = i + 7;
        while (at < create.size() && (create[at] == ' ' || create[at] == '='))
            ++at;
        size_t end = at;
        while (end < create.size() && isNameChar(create[end]))
            ++end;
        const std::string name(create.substr(at, end - at));
        out.append(create.substr(i, at - i));
        if (name.empty() || hasCollation(name)) {
            out += name;
        } else {
            const std::string other = closest(name);
            if (other.empty()) {
                // Nothing of that character set fits: the server's own default for it.
                out.resize(out.size() - (at - i));
                while (!out.empty() && out.back() == ' ')
                    out.pop_back();
                changes.push_back("collation " + name + " is not on the destination; its default used");
            } else {
                out += other;
                changes.push_back("collation " + name + " is not on the destination; " + other + " used");
            }
        }
        i = end - 1;
    }
    return out;
}

} // namespace transfer
