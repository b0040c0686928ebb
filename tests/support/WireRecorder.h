#pragma once

#include <QString>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A relay on a loopback port in front of a server: it passes every byte both ways and keeps the
// client's query texts (COM_QUERY packets) exactly as they went over the wire, so a test sees
// what the server received before the server itself trims anything, such as a closing semicolon.
class WireRecorder {
public:
    WireRecorder(const QString &serverHost, int serverPort);
    ~WireRecorder();
    WireRecorder(const WireRecorder &) = delete;
    WireRecorder &operator=(const WireRecorder &) = delete;

    int port() const { return port_; }
    std::vector<std::string> queries() const;

private:
    void acceptLoop();
    void relay(int client);

    std::string serverHost_;
    int serverPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> relays_;
    std::vector<int> sockets_;
    std::vector<std::string> queries_;
};
