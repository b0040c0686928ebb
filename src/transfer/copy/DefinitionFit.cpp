#include "transfer/copy/DefinitionFit.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "transfer/copy/MakeClauses.h"
#include "transfer/shared/TextParts.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace transfer {

namespace {

constexpr int UnknownCollation = 1273;
constexpr int UnknownCharacterSet = 1115;
constexpr int CollationNotForCharacterSet = 1253;
constexpr int UnknownOption = 1911;
constexpr int SyntaxError = 1064;
constexpr int UnknownEngine = 1286;
constexpr int RefusedClausesAtMost = 8; // a definition is not rewritten without end

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string characterSetOf(const std::string &collation)
{
    const size_t underscore = collation.find('_');
    return underscore == std::string::npos ? collation : collation.substr(0, underscore);
}

bool endsWith(const std::string &s, std::string_view tail) { return s.size() >= tail.size() && s.ends_with(tail); }

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// Where an option `name = value` ends: after its quoted or bare value.
size_t optionEnd(const std::string &create, size_t afterName)
{
    size_t at = afterName;
    while (at < create.size() && create[at] == ' ')
        ++at;
    if (at == create.size() || create[at] != '=')
        return std::string::npos;
    ++at;
    while (at < create.size() && create[at] == ' ')
        ++at;
    if (at < create.size() && create[at] == '\'') {
        for (++at; at < create.size(); ++at) {
            if (create[at] == '\\')
                ++at;
            else if (create[at] == '\'' && (at + 1 == create.size() || create[at + 1] != '\''))
                return at + 1;
            else if (create[at] == '\'')
                ++at;
        }
        return std::string::npos;
    }
    while (at < create.size() && create[at] != ' ' && create[at] != ',' && create[at] != ')' && create[at] != '\n')
        ++at;
    return at;
}

// The option called name (bare or backquoted, any letter case), outside quotes, from its first
// character to the end of its value; npos when there is none.
std::pair<size_t, size_t> findOption(const std::string &create, std::string_view name, size_t from = 0)
{
    for (size_t i = from; i < create.size();) {
        const char c = create[i];
        const bool ticked = c == '`' && i + name.size() + 1 < create.size() && create[i + name.size() + 1] == '`'
                            && sameLetters(std::string_view(create).substr(i + 1, name.size()), name);
        const bool bare = !ticked && !isQuote(c) && (i == 0 || !isNameChar(create[i - 1]))
                          && sameLetters(std::string_view(create).substr(i, name.size()), name)
                          && (i + name.size() == create.size() || !isNameChar(create[i + name.size()]));
        if (ticked || bare) {
            const size_t end = optionEnd(create, i + name.size() + (ticked ? 2 : 0));
            if (end != std::string::npos)
                return {i, end};
        }
        i = isQuote(c) ? quotedEnd(create, i) : i + 1;
    }
    return {std::string::npos, std::string::npos};
}

// Takes out [from, to) with the spaces before it; the text taken out, trimmed.
std::string cut(std::string &create, size_t from, size_t to)
{
    std::string clause = create.substr(from, to - from);
    while (from > 0 && create[from - 1] == ' ')
        --from;
    create.erase(from, to - from);
    return clause;
}

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
    std::vector<std::string> candidates;
    // MySQL's Unicode 9 collations and MariaDB's Unicode 14 ones (10.10 on) sort alike but for
    // the characters Unicode added between: each make takes the other's of the same sensitivity.
    for (const std::string version : {"_0900_", "_uca1400_"}) {
        if (collation.compare(set.size(), version.size(), version) != 0)
            continue;
        const std::string sensitivity = collation.substr(set.size() + version.size());
        if (sensitivity != "bin")
            candidates.push_back(set + (version == "_0900_" ? "_uca1400_" : "_0900_") + sensitivity);
    }
    // Case- and accent-sensitive ones compare closest to the binary one; the rest to the newest
    // Unicode collation older servers have.
    const bool sensitive = endsWith(collation, "_bin") || endsWith(collation, "_cs") || endsWith(collation, "_as_cs");
    if (sensitive)
        candidates.push_back(set + "_bin");
    else
        candidates.insert(candidates.end(), {set + "_unicode_520_ci", set + "_unicode_ci", set + "_general_ci"});
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
    if (mayHaveMySqlClauses(fitted) && destinationIsMariaDb())
        fitted = withoutMySqlClauses(fitted, changes);
    if (mayHaveMariaDbClauses(fitted) && !destinationIsMariaDb())
        fitted = withoutMariaDbClauses(fitted, changes);
    // Each change once, however many columns it touched.
    std::vector<std::string> once;
    for (const std::string &change : changes)
        if (std::find(once.begin(), once.end(), change) == once.end())
            once.push_back(change);
    changes = std::move(once);
    return fitted;
}

void DefinitionFit::makeFitted(std::string_view definition, const std::function<void(const std::string &)> &create,
                               const std::function<void(const std::string &)> &adapted, const platform::DbError *refused)
{
    std::vector<std::string> changes;
    std::string fitted = adapt(definition, changes);
    int left = RefusedClausesAtMost;
    // A refusal of the definition sent with more after it may quote that too: then it is sent
    // alone, for a refusal of its own.
    if (std::string mended = refused ? withoutRefused(fitted, *refused, changes) : std::string(); !mended.empty()) {
        fitted = std::move(mended);
        --left;
    }
    for (;; --left) {
        for (const std::string &change : changes)
            adapted(change);
        changes.clear();
        try {
            create(fitted);
            return;
        } catch (const platform::DbError &e) {
            std::string mended = left > 0 ? withoutRefused(fitted, e, changes) : std::string();
            if (mended.empty())
                throw;
            fitted = std::move(mended);
        }
    }
}

std::string DefinitionFit::withoutRefused(const std::string &create, const platform::DbError &refusal,
                                          std::vector<std::string> &changes)
{
    const std::string message = refusal.what();
    std::string out = create;
    std::string clause;
    if (refusal.number() == UnknownEngine) {
        // Unknown storage engine 'NAME': the destination's default engine holds the rows instead.
        const size_t open = message.find('\'');
        const size_t close = message.rfind('\'');
        const std::string name = open == std::string::npos || close <= open + 1 ? std::string()
                                                                                : message.substr(open + 1, close - open - 1);
        if (name.empty() || !std::all_of(name.begin(), name.end(), isNameChar))
            return {};
        const auto [from, to] = findOption(out, "ENGINE", out.rfind("\n)"));
        if (from == std::string::npos || out.compare(to - name.size(), name.size(), name) != 0)
            return {};
        cut(out, from, to);
        changes.push_back("engine " + name + " is not on the destination; its default engine used");
        return out;
    }
    if (refusal.number() == UnknownOption) {
        // Unknown option 'NAME'
        const size_t open = message.find('\'');
        const size_t close = message.rfind('\'');
        if (open == std::string::npos || close <= open + 1)
            return {};
        const std::string name = message.substr(open + 1, close - open - 1);
        if (!std::all_of(name.begin(), name.end(), isNameChar))
            return {};
        const auto [from, to] = findOption(out, name);
        if (from == std::string::npos)
            return {};
        clause = cut(out, from, to);
    } else if (refusal.number() == SyntaxError) {
        // … near 'REST OF THE STATEMENT' at line N: the rest starts where the parser stopped.
        const size_t nearAt = message.find("near '");
        const size_t lineAt = message.rfind("' at line ");
        if (nearAt == std::string::npos || lineAt == std::string::npos || lineAt < nearAt + 6)
            return {};
        std::string near = message.substr(nearAt + 6, lineAt - nearAt - 6);
        if (near.size() > 3 && near.ends_with("...")) // cut short by the server
            near.resize(near.size() - 3);
        const int line = std::atoi(message.c_str() + lineAt + 10);
        if (near.empty() || line < 2) // the first line names the table, which differs from what was sent
            return {};
        size_t start = 0;
        for (int n = 1; n < line; ++n) {
            start = out.find('\n', start);
            if (start == std::string::npos)
                return {};
            ++start;
        }
        const size_t lineEnd = std::min(out.find('\n', start), out.size());
        // The first place on that line, outside quotes, where the rest reads as the server quoted it.
        size_t at = std::string::npos;
        for (size_t p = 0; p <= lineEnd && at == std::string::npos;) {
            if (p < out.size() && isQuote(out[p])) {
                p = quotedEnd(out, p);
                continue;
            }
            // Sent with more after it, the quote may run on into the next statement.
            const size_t here = std::min(near.size(), out.size() - std::min(p, out.size()));
            if (p >= start && out.compare(p, here, near, 0, here) == 0 && (here == near.size() || near[here] == ';'))
                at = p;
            ++p;
        }
        if (at == std::string::npos)
            return {};
        size_t word = at;
        while (word < out.size() && isNameChar(out[word]))
            ++word;
        const std::string name = out.substr(at, word - at);
        const size_t columnsEnd = out.rfind("\n)");
        const size_t end = name.empty() ? std::string::npos : optionEnd(out, word);
        // The parser quotes from the word it stopped at, or from just after a word it took for a name.
        size_t before = at;
        while (before > 0 && (out[before - 1] == ' ' || out[before - 1] == '\n' || out[before - 1] == ','))
            --before;
        size_t beforeStart = before;
        while (beforeStart > 0 && isNameChar(out[beforeStart - 1]))
            --beforeStart;
        if (end != std::string::npos && columnsEnd != std::string::npos && at > columnsEnd)
            clause = cut(out, at, end); // a table option
        else if (name == "IGNORED")
            clause = cut(out, at, word); // an index the optimizer was told to ignore, MariaDB 10.6 on
        else if (out.compare(beforeStart, before - beforeStart, "IGNORED") == 0 && before - beforeStart == 7)
            clause = cut(out, beforeStart, before);
        else
            return {};
    } else {
        return {};
    }
    changes.push_back("clause " + clause + " left out: the destination does not know it");
    return out;
}

std::string DefinitionFit::collationsFitted(std::string_view create, std::vector<std::string> &changes)
{
    std::string out;
    out.reserve(create.size());
    for (size_t i = 0; i < create.size(); ++i) {
        const char c = create[i];
        if (isQuote(c)) {
            const size_t end = quotedEnd(create, i);
            out.append(create.substr(i, end - i));
            i = end - 1;
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
