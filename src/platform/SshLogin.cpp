#include "platform/SshLogin.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace platform {

namespace {

constexpr int MostAnswers = 3; // as OpenSSH asks

// An answer kept no longer than it is needed.
struct Secret {
    std::string text;
    ~Secret() { OPENSSL_cleanse(text.data(), text.size()); }
};

// What the key file's import asks for: libssh calls it only for a key that is encrypted.
struct PassphraseAsk {
    const SshTunnel::AskSecret *ask;
    SshSecretQuestion question;
    bool asked = false;
    bool givenUp = false;
};

int answerPassphrase(const char *, char *buffer, size_t length, int, int, void *data)
{
    auto &p = *static_cast<PassphraseAsk *>(data);
    p.asked = true;
    Secret answer{*p.ask ? (*p.ask)(p.question) : std::string()};
    if (answer.text.empty() || answer.text.size() >= length) {
        p.givenUp = true;
        return -1;
    }
    std::memcpy(buffer, answer.text.c_str(), answer.text.size() + 1);
    return 0;
}

ssh_key keyOf(const SshRoute &route, const SshTunnel::AskSecret &ask)
{
    const std::string &file = route.keyFile;
    if (!std::ifstream(file))
        throw SshError("The key file " + file + " cannot be opened: " + std::strerror(errno) + '.');
    ssh_key key = nullptr;
    if (!route.secret.empty() || !ask) {
        if (ssh_pki_import_privkey_file(file.c_str(), route.secret.empty() ? nullptr : route.secret.c_str(), nullptr,
                                        nullptr, &key) == SSH_OK)
            return key;
        throw SshError("The key file " + file + " cannot be read" +
                       (route.secret.empty() ? std::string(" (does it need a passphrase?)") : " with that passphrase") + '.');
    }
    PassphraseAsk asking{&ask, {route.user + '@' + route.host + ':' + std::to_string(route.port), file, false}};
    for (int answers = 0; answers < MostAnswers; ++answers) {
        asking.asked = false;
        if (ssh_pki_import_privkey_file(file.c_str(), nullptr, answerPassphrase, &asking, &key) == SSH_OK)
            return key;
        if (asking.givenUp)
            throw SshError("The key file " + file + " needs its passphrase, and none was given.");
        if (!asking.asked)
            throw SshError("The key file " + file + " cannot be read: it is not a private key this program knows.");
        asking.question.again = true;
    }
    throw SshError("The key file " + file + " cannot be read with that passphrase.");
}

} // namespace

void logIn(ssh_session s, const SshRoute &route, const SshTunnel::AskSecret &ask)
{
    const std::string server = route.user + '@' + route.host + ':' + std::to_string(route.port);
    int authenticated = SSH_AUTH_DENIED;
    switch (route.login) {
    case SshRoute::Login::Agent:
        authenticated = ssh_userauth_agent(s, nullptr);
        break;
    case SshRoute::Login::KeyFile: {
        ssh_key key = keyOf(route, ask);
        authenticated = ssh_userauth_publickey(s, nullptr, key);
        ssh_key_free(key);
        break;
    }
    case SshRoute::Login::Password: {
        if (!route.secret.empty() || !ask) {
            authenticated = ssh_userauth_password(s, nullptr, route.secret.c_str());
            break;
        }
        SshSecretQuestion question{server, {}, false};
        for (int answers = 0; answers < MostAnswers && authenticated == SSH_AUTH_DENIED; ++answers) {
            const Secret password{ask(question)};
            if (password.text.empty())
                throw SshError("The SSH server " + server + " wants a password, and none was given.");
            authenticated = ssh_userauth_password(s, nullptr, password.text.c_str());
            question.again = true;
        }
        break;
    }
    }
    if (authenticated != SSH_AUTH_SUCCESS)
        throw SshError("The SSH server " + server + " did not let " + route.user + " in: " + sshErrorOf(s));
}

} // namespace platform
