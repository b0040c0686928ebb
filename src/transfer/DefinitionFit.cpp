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

bool DefinitionFit::hasCollation(const std::string &collation)
{
    const auto found = known_.find(collation);
    if (found != known_.end())
        return found->second;
    // Only names made of letters, digits and underscores get here: asked as they are.
    bool has = true;
    try {
        destination_.execute("SELECT CONVERT('' USING " + characterSetOf(collation) + ") COLLATE " + collation);
    } catch (const platform::DbError &e) {
        if (e.number() != UnknownCollation && e.number() != UnknownCharacterSet
            && e.number() != CollationNotForCharacterSet)
            throw;
        has = false;
    }
    known_[collation] = has;
    return has;
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

std::string DefinitionFit::adapt(std::string_view create, std::vector<std::string> &changes)
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
    // Each change once, however many columns it touched.
    std::vector<std::string> once;
    for (const std::string &change : changes)
        if (std::find(once.begin(), once.end(), change) == once.end())
            once.push_back(change);
    changes = std::move(once);
    return out;
}

} // namespace transfer
