#include "platform/SshKnownHosts.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <fstream>
#include <sstream>

namespace platform {

namespace {

// The server's host key's SHA-256 fingerprint, as OpenSSH shows it.
std::string fingerprintOf(ssh_session s)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(s, &key) != SSH_OK)
        throw SshError("The SSH server sent no host key: " + sshErrorOf(s));
    unsigned char *hash = nullptr;
    size_t length = 0;
    const int hashed = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length);
    ssh_key_free(key);
    if (hashed != 0)
        throw SshError("The SSH server's host key cannot be read.");
    char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    ssh_clean_pubkey_hash(&hash);
    std::string fingerprint = text ? text : "";
    ssh_string_free_char(text);
    return fingerprint;
}

// OpenSSH's hashed names (HashKnownHosts): "|1|salt|HMAC-SHA1(salt, name)", both base64.
bool hashedNameIs(const std::string &entry, const std::string &name)
{
    if (entry.rfind("|1|", 0) != 0)
        return false;
    const size_t bar = entry.find('|', 3);
    if (bar == std::string::npos)
        return false;
    const QByteArray salt = QByteArray::fromBase64(QByteArray::fromStdString(entry.substr(3, bar - 3)));
    const QByteArray hash = QByteArray::fromBase64(QByteArray::fromStdString(entry.substr(bar + 1)));
    return QMessageAuthenticationCode::hash(QByteArray::fromStdString(name), salt, QCryptographicHash::Sha1) == hash;
}

// Where a known-hosts file names the server: its line and its key's fingerprint.
struct KnownEntry {
    int line = 0;
    std::string fingerprint;
};

KnownEntry knownEntryOf(const std::string &file, const std::string &named)
{
    std::ifstream in(file);
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::istringstream fields(text);
        std::string hosts, type, base64;
        if (!(fields >> hosts >> type >> base64) || hosts.rfind('#', 0) == 0)
            continue;
        std::istringstream names(hosts);
        bool namedHere = false;
        for (std::string name; std::getline(names, name, ',');)
            namedHere = namedHere || name == named || hashedNameIs(name, named);
        if (!namedHere)
            continue;
        KnownEntry entry{line, {}};
        ssh_key key = nullptr;
        if (ssh_pki_import_pubkey_base64(base64.c_str(), ssh_key_type_from_name(type.c_str()), &key) == SSH_OK) {
            unsigned char *hash = nullptr;
            size_t length = 0;
            if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
                char *shown = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
                entry.fingerprint = shown ? shown : "";
                ssh_string_free_char(shown);
                ssh_clean_pubkey_hash(&hash);
            }
            ssh_key_free(key);
        }
        return entry;
    }
    return {};
}

} // namespace

std::string checkHostKey(ssh_session s, const SshRoute &route, const SshTunnel::Trust &trust)
{
    const std::string fingerprint = fingerprintOf(s);
    const std::string named = (route.port == 22 ? route.host : '[' + route.host + "]:" + std::to_string(route.port));
    switch (ssh_session_is_known_server(s)) {
    case SSH_KNOWN_HOSTS_OK:
        break;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: {
        KnownEntry known = knownEntryOf(route.knownHostsFile, named);
        std::string file = route.knownHostsFile;
        if (known.line == 0 && !route.userKnownHostsFile.empty()) {
            known = knownEntryOf(route.userKnownHostsFile, named);
            file = route.userKnownHostsFile;
        }
        throw SshError("The SSH server " + named + " presents the host key " + fingerprint + ", but " +
                       file + (known.line > 0 ? " line " + std::to_string(known.line) : std::string()) +
                       " knows it by " + (known.fingerprint.empty() ? std::string("another key") : known.fingerprint) +
                       ". Someone may be in the middle; if the server's key was changed, remove that line.");
    }
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        if (!trust || !trust({named, fingerprint}))
            throw SshError("The SSH server " + named + " (host key " + fingerprint + ") is not trusted: nothing was sent to it.");
        if (ssh_session_update_known_hosts(s) != SSH_OK)
            throw SshError("The host key of " + named + " cannot be added to " + route.knownHostsFile + ": " + sshErrorOf(s));
        break;
    case SSH_KNOWN_HOSTS_ERROR:
        throw SshError("The known hosts file " + route.knownHostsFile + " cannot be read: " + sshErrorOf(s));
    }
    return fingerprint;
}

} // namespace platform
