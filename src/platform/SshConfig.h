#pragma once

#include <string>
#include <vector>

namespace platform {

// What an OpenSSH client configuration says of one host alias: the keywords a tunnel needs.
struct SshHostConfig {
    std::string hostName; // the alias itself when the file does not say
    std::string user;     // empty: not said
    int port = 0;         // 0: not said
    std::vector<std::string> identityFiles;
    std::string proxyJump; // "a,b" as written; "none" or empty: none
};

// Reads ~/.ssh/config's way (first value obtained wins; Host patterns with * ? and !; Match
// blocks are not followed; %h, %% and a leading ~ expanded). A file that cannot be read says
// nothing.
SshHostConfig readSshConfig(const std::string &file, const std::string &alias, const std::string &home);

// One "[user@]host[:port]" of a jump list (ProxyJump's own form).
struct SshJump {
    std::string user;
    std::string host;
    int port = 0;
};
// Throws SshError on a hop that is not of that form.
std::vector<SshJump> parseJumps(const std::string &list);

} // namespace platform
