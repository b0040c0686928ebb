#pragma once

#include "support/Relay.h"

#include <atomic>
#include <chrono>
#include <cstdint>

// A server far away, on loopback: every byte reaches the other end a set time after it was sent,
// and each direction carries at most a set number of bits a second. Counts the bytes each way.
class SlowLink : public Relay {
public:
    SlowLink(const QString &serverHost, int serverPort, std::chrono::microseconds oneWay, double bitsPerSecond = 0);
    ~SlowLink() override { stop(); }

    std::uint64_t bytesToServer() const { return toServer_; }
    std::uint64_t bytesToClient() const { return toClient_; }
    double bitsPerSecond() const { return bitsPerSecond_; }

private:
    void serve(int client, int server) override;
    void carry(int from, int to, std::atomic<std::uint64_t> &count);

    std::chrono::microseconds oneWay_;
    double bitsPerSecond_;
    std::atomic<std::uint64_t> toServer_{0};
    std::atomic<std::uint64_t> toClient_{0};
};
