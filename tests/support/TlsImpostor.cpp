#include "support/TlsImpostor.h"

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

std::string packet(int sequence, const std::string &payload)
{
    std::string out;
    out += static_cast<char>(payload.size() & 0xFF);
    out += static_cast<char>((payload.size() >> 8) & 0xFF);
    out += static_cast<char>((payload.size() >> 16) & 0xFF);
    out += static_cast<char>(sequence);
    return out + payload;
}

// A MySQL 8 greeting that offers TLS and names caching_sha2_password.
std::string greeting()
{
    const unsigned int caps = 0x1 | 0x4 | 0x8 | 0x200 | 0x800 | 0x2000 | 0x8000 | 0x10000 | 0x20000 | 0x80000
                              | 0x200000;
    std::string g = "\x0a" + std::string("8.4.0-impostor") + '\0';
    g += std::string("\x07\0\0\0", 4);
    g += "abcdefgh";
    g += '\0';
    g += static_cast<char>(caps & 0xFF);
    g += static_cast<char>((caps >> 8) & 0xFF);
    g += '\xff'; // utf8mb4
    g += std::string("\x02\0", 2);
    g += static_cast<char>((caps >> 16) & 0xFF);
    g += static_cast<char>((caps >> 24) & 0xFF);
    g += static_cast<char>(21);
    g += std::string(10, '\0');
    g += "ijklmnopqrst";
    g += '\0';
    return g + "caching_sha2_password" + '\0';
}

// Reads one whole packet from the TLS session; false at its end.
bool readPacket(SSL *ssl, std::string &payload, int &sequence)
{
    unsigned char head[4];
    int got = 0;
    while (got < 4) {
        const int n = SSL_read(ssl, head + got, 4 - got);
        if (n <= 0)
            return false;
        got += n;
    }
    const size_t length = head[0] | (head[1] << 8) | (head[2] << 16);
    sequence = head[3];
    payload.assign(length, '\0');
    size_t have = 0;
    while (have < length) {
        const int n = SSL_read(ssl, payload.data() + have, static_cast<int>(length - have));
        if (n <= 0)
            return false;
        have += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(SSL *ssl, const std::string &bytes) { return SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) > 0; }

const std::string Ok("\0\0\0\2\0\0\0", 7);

} // namespace

TlsImpostor::TlsImpostor(const std::string &certificateFile, const std::string &keyFile)
{
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certificateFile.c_str()) != 1
        || SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("the impostor's certificate could not be loaded");
    context_ = ctx;
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listener_, 8) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        throw std::runtime_error("the impostor could not listen");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0) {
                serve(client);
                ::close(client);
            }
        }
    });
}

TlsImpostor::~TlsImpostor()
{
    stopping_ = true;
    thread_.join();
    ::close(listener_);
    SSL_CTX_free(static_cast<SSL_CTX *>(context_));
}

std::string TlsImpostor::passwords() const
{
    const std::lock_guard lock(mutex_);
    return passwords_;
}

int TlsImpostor::loginsHeard() const
{
    const std::lock_guard lock(mutex_);
    return logins_;
}

void TlsImpostor::serve(int client)
{
    timeval quiet{3, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &quiet, sizeof quiet);
    const std::string hello = packet(0, greeting());
    if (::write(client, hello.data(), hello.size()) != static_cast<ssize_t>(hello.size()))
        return;
    // The client's request for TLS: 32 bytes in a packet of its own, before the handshake.
    unsigned char request[36];
    size_t got = 0;
    while (got < sizeof request) {
        const ssize_t n = ::read(client, request + got, sizeof request - got);
        if (n <= 0)
            return;
        got += static_cast<size_t>(n);
    }
    SSL *ssl = SSL_new(static_cast<SSL_CTX *>(context_));
    SSL_set_fd(ssl, client);
    std::string payload;
    int sequence = 0;
    if (SSL_accept(ssl) == 1 && readPacket(ssl, payload, sequence)) {
        {
            const std::lock_guard lock(mutex_);
            ++logins_;
        }
        const std::string nonce = "0123456789abcdefghij";
        // Whichever method the client named: caching_sha2_password, with a nonce of its own.
        if (writeAll(ssl, packet(sequence + 1, "\xFE" + std::string("caching_sha2_password") + '\0' + nonce + '\0'))
            && readPacket(ssl, payload, sequence) && writeAll(ssl, packet(sequence + 1, "\x01\x04"))
            && readPacket(ssl, payload, sequence)) {
            {
                const std::lock_guard lock(mutex_);
                passwords_ += payload;
            }
            if (writeAll(ssl, packet(sequence + 1, Ok))) {
                while (readPacket(ssl, payload, sequence) && !payload.empty() && payload[0] != 0x01)
                    if (!writeAll(ssl, packet(sequence + 1, Ok)))
                        break;
            }
        }
    }
    SSL_shutdown(ssl);
    SSL_free(ssl);
}
