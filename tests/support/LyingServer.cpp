#include "support/LyingServer.h"

#include <poll.h>
#include <unistd.h>

namespace {

std::string errorPacket(int number, const std::string &text)
{
    std::string p = "\xFF";
    p += static_cast<char>(number & 0xFF);
    p += static_cast<char>(number >> 8);
    return p + "#HY000" + text;
}

} // namespace

void LyingServer::askForFileOn(std::string prefix, std::string fileName)
{
    const std::lock_guard lock(mutex_);
    traps_.push_back({std::move(prefix), std::move(fileName), {}, {}});
}

void LyingServer::answerWith(std::string prefix, std::vector<std::string> columns, std::vector<Row> rows, long repeat)
{
    const std::lock_guard lock(mutex_);
    traps_.push_back({std::move(prefix), {}, std::move(columns), std::move(rows), repeat});
}

namespace {

std::string lengthEncoded(const std::string &text)
{
    std::string out;
    if (text.size() < 251) {
        out += static_cast<char>(text.size());
    } else {
        out += '\xFC';
        out += static_cast<char>(text.size() & 0xFF);
        out += static_cast<char>(text.size() >> 8);
    }
    return out + text;
}

// A text result set in the classic form (the greeting took away the EOF-less one), written as it
// is made; false when the client went away.
bool sendResultSet(int client, const std::vector<std::string> &columns, const std::vector<LyingServer::Row> &rows,
                   long repeat)
{
    int sequence = 1;
    const std::string eof("\xFE\0\0\2\0", 5);
    std::string out = wire::packetBytes(sequence++, std::string(1, static_cast<char>(columns.size())));
    for (const std::string &name : columns) {
        std::string definition = lengthEncoded("def") + lengthEncoded("") + lengthEncoded("") + lengthEncoded("")
                                 + lengthEncoded(name) + lengthEncoded(name);
        definition += std::string("\x0C\x21\0\0\1\0\0\xFD\0\0\0\0\0", 13); // utf8, 64 KiB, VAR_STRING
        out += wire::packetBytes(sequence++, definition);
    }
    out += wire::packetBytes(sequence++, eof);
    for (long round = 0; round < repeat; ++round) {
        for (const LyingServer::Row &row : rows) {
            std::string packet;
            for (const auto &value : row)
                packet += value ? lengthEncoded(*value) : std::string("\xFB");
            out += wire::packetBytes(sequence++, packet);
        }
        if (out.size() > (1 << 20)) {
            if (!wire::writeAll(client, out))
                return false;
            out.clear();
        }
    }
    return wire::writeAll(client, out + wire::packetBytes(sequence, eof));
}

} // namespace

std::string LyingServer::answers() const
{
    const std::lock_guard lock(mutex_);
    return answers_;
}

std::string LyingServer::scrambles() const
{
    const std::lock_guard lock(mutex_);
    return scrambles_;
}

int LyingServer::loginsHeard() const
{
    const std::lock_guard lock(mutex_);
    return logins_;
}

int LyingServer::requestsMade() const
{
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> LyingServer::queries() const
{
    const std::lock_guard lock(mutex_);
    return queries_;
}

const LyingServer::Trap *LyingServer::trapFor(const std::string &query) const
{
    for (const Trap &t : traps_)
        if (query.rfind(t.prefix, 0) == 0)
            return &t;
    return nullptr;
}

void LyingServer::serve(int client, int server)
{
    std::string fromClient;
    wire::Packet p;
    if (!wire::greetWithoutTls(server, client))
        return;

    // The login: passed on, or answered with a switch to the clear-text plugin.
    if (!wire::readPacket(client, fromClient, p))
        return;
    {
        const std::lock_guard lock(mutex_);
        ++logins_;
    }
    if (!switchTo_.empty()) {
        {
            const std::lock_guard lock(mutex_);
            ++requests_;
        }
        const std::string authSwitch = "\xFE" + switchTo_ + '\0' + std::string(20, 'x') + '\0';
        if (!wire::writeAll(client, wire::packetBytes(p.sequence + 1, authSwitch)))
            return;
        if (switchTo_ == "caching_sha2_password") {
            if (!wire::readPacket(client, fromClient, p))
                return;
            {
                const std::lock_guard lock(mutex_);
                scrambles_ += p.payload;
            }
            if (!wire::writeAll(client, wire::packetBytes(p.sequence + 1, "\x01\x04"))) // full authentication
                return;
        }
        if (wire::readPacket(client, fromClient, p)) {
            const std::lock_guard lock(mutex_);
            answers_ += p.payload;
        }
        wire::writeAll(client, wire::packetBytes(p.sequence + 1, errorPacket(1045, "Access denied")));
        return;
    }
    if (!wire::writeAll(server, wire::packetBytes(p.sequence, p.payload)))
        return;

    // Then every packet, the queries looked at on their way.
    char chunk[1 << 16];
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    while (!stopping()) {
        if (::poll(ends, 2, 200) < 0)
            return;
        if (ends[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = ::read(server, chunk, sizeof chunk);
            if (got <= 0 || !wire::writeAll(client, std::string_view(chunk, static_cast<size_t>(got))))
                return;
        }
        if (!(ends[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t got = ::read(client, chunk, sizeof chunk);
        if (got <= 0)
            return;
        fromClient.append(chunk, static_cast<size_t>(got));
        while (wire::takePacket(fromClient, p)) {
            const bool query = p.sequence == 0 && !p.payload.empty() && p.payload[0] == 0x03;
            const std::string text = query ? p.payload.substr(1) : std::string();
            const Trap *trap = nullptr;
            {
                const std::lock_guard lock(mutex_);
                if (query) {
                    queries_.push_back(text);
                    trap = trapFor(text);
                }
                if (trap)
                    ++requests_;
            }
            if (!trap) {
                if (!wire::writeAll(server, wire::packetBytes(p.sequence, p.payload)))
                    return;
                continue;
            }
            if (trap->fileName.empty()) {
                if (!sendResultSet(client, trap->columns, trap->rows, trap->repeat))
                    return;
                continue;
            }
            // The server "wants" a file: whatever the client sends up to its empty packet is kept.
            if (!wire::writeAll(client, wire::packetBytes(1, "\xFB" + trap->fileName)))
                return;
            int sequence = 1;
            for (;;) {
                if (!wire::readPacket(client, fromClient, p))
                    return;
                sequence = p.sequence;
                if (p.payload.empty())
                    break;
                const std::lock_guard lock(mutex_);
                answers_ += p.payload;
            }
            // As a server that got its file would: "done". The client must not take that for success.
            if (!wire::writeAll(client, wire::packetBytes(sequence + 1, std::string("\0\0\0\2\0\0\0", 7))))
                return;
        }
    }
}
