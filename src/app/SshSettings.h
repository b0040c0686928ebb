#pragma once

#include "platform/SshTunnel.h"

#include <QString>

#include <vector>

namespace platform {
class Keyring;
}

namespace app {

class SettingsStore;

// One side's SSH tunnel as the settings file keeps it, under keys of its own beside the side's
// others ("MySshHost", … and "MySshHost2", … for side #2). The passphrase or password is kept as
// the side keeps its database password: in the file, or in the keyring (readSshSecret).
struct SideSsh {
    bool enabled = false;
    QString host; // or an alias of ~/.ssh/config when useConfig
    QString port; // empty: 22, or what the config says
    QString user; // empty: the config's, or the desktop user's
    platform::SshRoute::Login login = platform::SshRoute::Login::Agent;
    QString keyFile; // empty: the config's first IdentityFile
    QString jumps;   // "[user@]host[:port]" hops, commas between, as ProxyJump; empty: the config's
    bool useConfig = false;
};

SideSsh readSideSsh(const SettingsStore &store, int side);
void writeSideSsh(SettingsStore &store, int side, const SideSsh &ssh);

// The key's passphrase or the password: from the keyring when the side keeps its password there.
QString readSshSecret(const SettingsStore &store, platform::Keyring &keyring, int side, bool inKeyring);
// Kept where the side keeps its password; a keyring that does not answer is thrown
// (std::runtime_error), and nothing goes into the file the user chose to keep it out of.
void keepSshSecret(SettingsStore &store, platform::Keyring &keyring, int side, bool inKeyring, const QString &secret);
void forgetSshSecretInKeyring(platform::Keyring &keyring, int side);

// The files a tunnel reads: the user's OpenSSH configuration and known hosts, and the program's
// own known hosts, where a key the user trusts is added.
struct SshFiles {
    std::string config;
    std::string userKnownHosts;
    std::string ownKnownHosts;
    std::string home;
};
SshFiles sshFiles(const QString &ownKnownHosts);

// The SSH servers to pass, in order: the jump hosts, then the side's own. Throws SshError when
// the settings do not make a way (no host, a port that is not a number).
std::vector<platform::SshRoute> sshHops(const SideSsh &ssh, const QString &secret, const SshFiles &files);

} // namespace app
