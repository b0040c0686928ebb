#pragma once

#include "platform/SshSession.h"
#include "platform/SshTunnel.h"

#include <libssh/libssh.h>

#include <string>

namespace platform {

// The SSH server's host key against the known-hosts files, as OpenSSH checks it: a known key goes
// on; an unknown one only when trust(key) says so, and is then added to the program's own file; a
// changed one is refused with both fingerprints and the file and line to mend. Returns the key's
// SHA-256 fingerprint. Throws SshError.
std::string checkHostKey(ssh_session s, const SshRoute &route, const SshTunnel::Trust &trust);

} // namespace platform
