#pragma once

#include <string>
#include <string_view>

namespace platform {

// What a connection string says about where and as whom to log in.
struct ConnectionParams {
    std::string host;
    std::string database;
    std::string user;
    std::string password;
    std::string port;  // as written; checked when the connection opens
};

// Reads an ODBC-style "KEY=value;KEY={value};" string. Keys are case-insensitive; a braced value
// may hold ';', '{' and '}' with '}' written twice. Unknown keys (DRIVER and the like) are ignored.
ConnectionParams parseConnectionString(std::string_view text);

} // namespace platform
