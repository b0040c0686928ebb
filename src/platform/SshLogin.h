#pragma once

#include "platform/SshSession.h"
#include "platform/SshTunnel.h"

#include <libssh/libssh.h>

namespace platform {

// Logs the route's user in as it says (agent, key file or password). A key file's passphrase or a
// password the route does not hold is asked for (three times at most), when there is someone to
// ask; one the route holds that is wrong is said, not asked again. Throws SshError.
void logIn(ssh_session s, const SshRoute &route, const SshTunnel::AskSecret &ask);

} // namespace platform
