#include "platform/SshConfig.h"

#include "platform/SshTunnel.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "Host a b !c": the alias matches a pattern and no negated one.
bool hostLineMatches(const std::string &patterns, const std::string &alias)
{
    std::istringstream words(patterns);
    bool matched = false;
    for (std::string p; words >> p;) {
        const bool negated = p[0] == '!';
        const std::string pattern = lower(negated ? p.substr(1) : p);
        if (::fnmatch(pattern.c_str(), lower(alias).c_str(), 0) == 0) {
            if (negated)
                return false;
            matched = true;
        }
    }
    return matched;
}

std::string expanded(const std::string &value, const std::string &alias, const std::string &home)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 1 < value.size()) {
            const char c = value[++i];
            out += c == 'h' ? alias : c == 'd' ? home : std::string(1, c);
        } else
            out += value[i];
    }
    if (out.rfind("~/", 0) == 0)
        out = home + out.substr(1);
    return out;
}

std::string unquoted(std::string v)
{
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return v;
}

} // namespace

SshHostConfig readSshConfig(const std::string &file, const std::string &alias, const std::string &home)
{
    SshHostConfig config;
    std::ifstream in(file);
    bool applies = true; // lines before the first Host apply to every host
    for (std::string line; std::getline(in, line);) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        const size_t split = line.find_first_of(" \t=");
        if (split == std::string::npos)
            continue;
        const std::string keyword = lower(line.substr(0, split));
        std::string value = trimmed(line.substr(split + 1));
        if (!value.empty() && value[0] == '=')
            value = trimmed(value.substr(1));
        if (keyword == "host") {
            applies = hostLineMatches(value, alias);
            continue;
        }
        if (keyword == "match") {
            applies = false;
            continue;
        }
        if (!applies)
            continue;
        value = unquoted(value);
        if (keyword == "hostname" && config.hostName.empty())
            config.hostName = expanded(value, alias, home);
        else if (keyword == "user" && config.user.empty())
            config.user = value;
        else if (keyword == "port" && config.port == 0) {
            try {
                const int port = std::stoi(value);
                config.port = port > 0 && port < 65536 ? port : 0;
            } catch (const std::exception &) {
            }
        } else if (keyword == "identityfile")
            config.identityFiles.push_back(expanded(value, alias, home));
        else if (keyword == "proxyjump" && config.proxyJump.empty())
            config.proxyJump = value;
    }
    if (config.hostName.empty())
        config.hostName = alias;
    if (lower(config.proxyJump) == "none")
        config.proxyJump.clear();
    return config;
}

std::vector<SshJump> parseJumps(const std::string &list)
{
    std::vector<SshJump> jumps;
    std::istringstream hops(list);
    for (std::string hop; std::getline(hops, hop, ',');) {
        hop = trimmed(hop);
        if (hop.empty())
            continue;
        if (hop.rfind("ssh://", 0) == 0)
            hop = hop.substr(6);
        SshJump jump;
        const size_t at = hop.rfind('@');
        if (at != std::string::npos) {
            jump.user = hop.substr(0, at);
            hop = hop.substr(at + 1);
        }
        // "[v6]:port", "host:port"; a bare IPv6 address has no port.
        std::string port;
        if (hop.front() == '[') {
            const size_t close = hop.find(']');
            if (close != std::string::npos && close + 1 < hop.size() && hop[close + 1] == ':')
                port = hop.substr(close + 2);
            hop = hop.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        } else if (std::count(hop.begin(), hop.end(), ':') == 1) {
            port = hop.substr(hop.find(':') + 1);
            hop = hop.substr(0, hop.find(':'));
        }
        if (!port.empty() || hop.empty()) {
            if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), ::isdigit)
                || std::stoi(port) < 1 || std::stoi(port) > 65535)
                throw SshError("The jump host \"" + list + "\" has a port that is not a number from 1 to 65535.");
            jump.port = std::stoi(port);
        }
        if (hop.empty() || hop.find_first_of(" \t/@") != std::string::npos)
            throw SshError("The jump hosts \"" + list + "\" are not of the form [user@]host[:port], commas between.");
        jump.host = hop;
        jumps.push_back(jump);
    }
    return jumps;
}

} // namespace platform
