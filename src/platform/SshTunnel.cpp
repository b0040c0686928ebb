#include "platform/SshTunnel.h"

#include <libssh/libssh.h>

#include <QByteArray>
#include <QMessageAuthenticationCode>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform {

namespace {

std::string errorOf(ssh_session s) { return ssh_get_error(s); }

// The server's host key's SHA-256 fingerprint, as OpenSSH shows it.
std::string fingerprintOf(ssh_session s)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(s, &key) != SSH_OK)
        throw SshError("The SSH server sent no host key: " + errorOf(s));
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

int connectTcp(const std::string &host, int port, int cancelFd, std::chrono::seconds timeout)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string where = host + ':' + std::to_string(port);
    if (const int failed = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
        throw SshError("The SSH server " + where + " cannot be found: " + ::gai_strerror(failed) + '.');
    std::string why = "no address";
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        int error = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            pollfd fds[2] = {{fd, POLLOUT, 0}, {cancelFd, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            const int ready = ::poll(fds, cancelFd >= 0 ? 2 : 1, static_cast<int>(std::max<long long>(0, left.count())));
            if (cancelFd >= 0 && fds[1].revents) {
                ::close(fd);
                ::freeaddrinfo(found);
                throw SshError("The way to " + where + " was given up.");
            }
            socklen_t size = sizeof error;
            if (ready <= 0)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            // A login's and a statement's small packets go at once, not after the last one's ack.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::freeaddrinfo(found);
            return fd;
        }
        why = std::strerror(error);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    throw SshError("The SSH server " + where + " cannot be reached: " + why + '.');
}

struct SshTunnel::Session {
    ssh_session ssh = nullptr;
    ~Session()
    {
        if (ssh) {
            ssh_disconnect(ssh);
            ssh_free(ssh);
        }
    }
};

SshTunnel::SshTunnel(const SshRoute &route, const Trust &trust) : session_(std::make_unique<Session>())
{
    open(route, trust, connectTcp(route.host, route.port, -1, std::chrono::seconds(30)));
}

SshTunnel::SshTunnel(const SshRoute &route, const Trust &trust, int socket) : session_(std::make_unique<Session>())
{
    open(route, trust, socket);
}

void SshTunnel::open(const SshRoute &route, const Trust &trust, int socket)
{
    ssh_session s = session_->ssh = ssh_new();
    if (!s) {
        ::close(socket);
        throw SshError("No SSH session could be made.");
    }
    // From here the session owns the socket, and closes it with itself.
    ssh_options_set(s, SSH_OPTIONS_FD, &socket);
    const bool no = false;
    long timeout = 30;
    int port = route.port;
    ssh_options_set(s, SSH_OPTIONS_HOST, route.host.c_str());
    ssh_options_set(s, SSH_OPTIONS_PORT, &port);
    ssh_options_set(s, SSH_OPTIONS_USER, route.user.c_str());
    ssh_options_set(s, SSH_OPTIONS_TIMEOUT, &timeout);
    ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &no); // the route says it all
    // AES-GCM first: with the processor's AES instructions it costs a bulk copy least.
    const char *ciphers = "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,aes128-ctr,aes256-ctr";
    ssh_options_set(s, SSH_OPTIONS_CIPHERS_C_S, ciphers);
    ssh_options_set(s, SSH_OPTIONS_CIPHERS_S_C, ciphers);
    ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, route.knownHostsFile.c_str());
    ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS,
                    route.userKnownHostsFile.empty() ? "/etc/ssh/ssh_known_hosts" : route.userKnownHostsFile.c_str());
    const std::string server = route.user + '@' + route.host + ':' + std::to_string(route.port);
    if (ssh_connect(s) != SSH_OK)
        throw SshError("The SSH server " + server + " cannot be reached: " + errorOf(s));

    // The host key before anything of the login goes.
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
            throw SshError("The host key of " + named + " cannot be added to " + route.knownHostsFile + ": " + errorOf(s));
        break;
    case SSH_KNOWN_HOSTS_ERROR:
        throw SshError("The known hosts file " + route.knownHostsFile + " cannot be read: " + errorOf(s));
    }

    int authenticated = SSH_AUTH_DENIED;
    switch (route.login) {
    case SshRoute::Login::Agent:
        authenticated = ssh_userauth_agent(s, nullptr);
        break;
    case SshRoute::Login::KeyFile: {
        ssh_key key = nullptr;
        if (ssh_pki_import_privkey_file(route.keyFile.c_str(), route.secret.empty() ? nullptr : route.secret.c_str(),
                                        nullptr, nullptr, &key) != SSH_OK)
            throw SshError("The key file " + route.keyFile + " cannot be read" +
                           (route.secret.empty() ? std::string(" (does it need a passphrase?)") : " with that passphrase") + '.');
        authenticated = ssh_userauth_publickey(s, nullptr, key);
        ssh_key_free(key);
        break;
    }
    case SshRoute::Login::Password:
        authenticated = ssh_userauth_password(s, nullptr, route.secret.c_str());
        break;
    }
    if (authenticated != SSH_AUTH_SUCCESS)
        throw SshError("The SSH server " + server + " did not let " + route.user + " in: " + errorOf(s));

    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        throw SshError("No local port could be opened for the SSH tunnel.");
    localPort_ = ntohs(address.sin_port);
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    description_ = "SSH through " + server + " (" + fingerprint + ')';
    databaseHost_ = route.databaseHost;
    databasePort_ = route.databasePort;
    keepalive_ = route.keepalive;
    thread_ = std::thread([this] { serve(); });
}

SshTunnel::~SshTunnel()
{
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (listener_ >= 0)
        ::close(listener_);
    if (wake_ >= 0)
        ::close(wake_);
}

void SshTunnel::serve()
{
    // What the database sent is kept here until its connection takes it: a connection whose
    // owner is busy writing to another one must never stop the others (nor the tunnel).
    constexpr size_t MostWaiting = 4 << 20;
    struct Forward {
        int client;
        ssh_channel channel;
        std::string toClient;
    };
    std::vector<Forward> forwards;
    const auto end = [](Forward &f) {
        ssh_channel_send_eof(f.channel);
        ssh_channel_close(f.channel);
        ssh_channel_free(f.channel);
        ::close(f.client);
    };
    ssh_session s = session_->ssh;
    auto lastSent = std::chrono::steady_clock::now();
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        std::vector<pollfd> fds{{wake_, POLLIN, 0},
                                {listener_, POLLIN, 0},
                                {ssh_get_fd(s), static_cast<short>(forwards.empty() ? POLLRDHUP : POLLIN), 0}};
        for (const Forward &f : forwards)
            fds.push_back({f.client, static_cast<short>(POLLIN | (f.toClient.empty() ? 0 : POLLOUT)), 0});
        ::poll(fds.data(), fds.size(), 20);
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            ssh_channel channel = client >= 0 ? ssh_channel_new(s) : nullptr;
            if (channel && ssh_channel_open_forward(channel, databaseHost_.c_str(), databasePort_, "127.0.0.1",
                                                    localPort_) == SSH_OK) {
                forwards.push_back({client, channel, {}});
                fds.push_back({client, 0, 0});
            } else {
                if (channel)
                    ssh_channel_free(channel);
                if (client >= 0)
                    ::close(client);
            }
        }
        for (size_t i = 0; i < forwards.size();) {
            Forward &f = forwards[i];
            bool open = true;
            // From the connection to its channel.
            if (fds[3 + i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = ::recv(f.client, buffer.data(), buffer.size(), 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                    open = false;
                else if (n > 0 && ssh_channel_write(f.channel, buffer.data(), static_cast<uint32_t>(n)) != n)
                    open = false;
            }
            // From the channel to the connection, as much as it takes now.
            while (open && f.toClient.size() < MostWaiting) {
                const int n = ssh_channel_read_nonblocking(f.channel, buffer.data(), static_cast<uint32_t>(buffer.size()), 0);
                if (n < 0)
                    open = false;
                if (n <= 0)
                    break;
                f.toClient.append(buffer.data(), static_cast<size_t>(n));
            }
            while (open && !f.toClient.empty()) {
                const ssize_t n = ::send(f.client, f.toClient.data(), f.toClient.size(), MSG_NOSIGNAL);
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    break;
                if (n <= 0)
                    open = false;
                else
                    f.toClient.erase(0, static_cast<size_t>(n));
            }
            if (open && f.toClient.empty() && ssh_channel_is_eof(f.channel))
                open = false;
            if (open) {
                ++i;
                continue;
            }
            end(f);
            forwards.erase(forwards.begin() + static_cast<long>(i));
            fds.erase(fds.begin() + 3 + static_cast<long>(i));
        }
        // With no forward open nothing reads the link: only its end is watched for, so that a
        // dropped link is seen at once and what the server sends meanwhile does not spin the loop.
        if (forwards.empty() && (fds[2].revents & (POLLRDHUP | POLLHUP | POLLERR))) {
            alive_ = false;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastSent >= keepalive_) {
            ssh_send_ignore(s, "keepalive");
            lastSent = now;
        }
        if (!ssh_is_connected(s)) {
            alive_ = false;
            break;
        }
    }
    for (Forward &f : forwards)
        end(f);
}

} // namespace platform
