#include "platform/SshTunnel.h"

#include "platform/SshKnownHosts.h"
#include "platform/SshLogin.h"

#include <libssh/libssh.h>

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
#include <vector>

namespace platform {

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

SshTunnel::SshTunnel(const SshRoute &route, const Trust &trust, const AskSecret &askSecret)
    : session_(std::make_unique<Session>())
{
    open(route, trust, askSecret, connectTcp(route.host, route.port, -1, std::chrono::seconds(30)));
}

SshTunnel::SshTunnel(const SshRoute &route, const Trust &trust, int socket, const AskSecret &askSecret)
    : session_(std::make_unique<Session>())
{
    open(route, trust, askSecret, socket);
}

void SshTunnel::open(const SshRoute &route, const Trust &trust, const AskSecret &askSecret, int socket)
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
        throw SshError("The SSH server " + server + " cannot be reached: " + sshErrorOf(s));

    // The host key before anything of the login goes.
    const std::string fingerprint = checkHostKey(s, route, trust);
    logIn(s, route, askSecret);

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
            // What the database answers goes on at once, however it arrives in pieces.
            const int on = 1;
            if (client >= 0)
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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
