#pragma once

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

} // namespace transfer
