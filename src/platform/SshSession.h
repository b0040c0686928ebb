#pragma once

#include <libssh/libssh.h>

#include <string>

namespace platform {

// What the SSH library last said went wrong on the session.
inline std::string sshErrorOf(ssh_session s) { return ssh_get_error(s); }

} // namespace platform
