#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace transfer {

// The parts of text between separators, empty ones included, as views into text.
inline std::vector<std::string_view> splitAt(std::string_view text, char separator)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

inline bool isQuote(char c) { return c == '\'' || c == '`' || c == '"'; }

// Where the quoted name or string opening at open ends: just after its closing quote (a doubled
// quote closes and opens again; a backslash escapes inside '…').
inline size_t quotedEnd(std::string_view s, size_t open)
{
    const char quote = s[open];
    for (size_t i = open + 1; i < s.size(); ++i) {
        if (s[i] == '\\' && quote == '\'')
            ++i;
        else if (s[i] == quote)
            return i + 1;
    }
    return s.size();
}

} // namespace transfer
