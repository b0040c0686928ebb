#include "platform/ConnectionParams.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

std::string upper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// Reads one value starting at pos; leaves pos after the value's terminating ';' (or at the end).
std::string readValue(std::string_view text, size_t &pos)
{
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
        ++pos;
        while (pos < text.size()) {
            char c = text[pos++];
            if (c == '}') {
                if (pos < text.size() && text[pos] == '}') {
                    value += '}';
                    ++pos;
                    continue;
                }
                break;
            }
            value += c;
        }
        // Anything between the closing brace and the next ';' is not part of the value.
        while (pos < text.size() && text[pos] != ';')
            ++pos;
    } else {
        while (pos < text.size() && text[pos] != ';')
            value += text[pos++];
    }
    if (pos < text.size())
        ++pos; // the ';'
    return value;
}

} // namespace

ConnectionParams parseConnectionString(std::string_view text)
{
    ConnectionParams params;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eq = text.find('=', pos);
        size_t semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A piece without '=' carries nothing we use.
            pos = semi == std::string_view::npos ? text.size() : semi + 1;
            continue;
        }
        std::string key = upper(text.substr(pos, eq - pos));
        pos = eq + 1;
        std::string value = readValue(text, pos);
        if (key == "SERVER")
            params.host = value;
        else if (key == "DATABASE")
            params.database = value;
        else if (key == "USER" || key == "UID")
            params.user = value;
        else if (key == "PASSWORD" || key == "PWD")
            params.password = value;
        else if (key == "PORT")
            params.port = value;
    }
    return params;
}

} // namespace platform
