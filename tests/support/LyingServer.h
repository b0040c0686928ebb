#pragma once

#include "support/Relay.h"

#include <optional>
#include <string>
#include <vector>

// A server that lies, for what no real one does: a relay in front of a real server that answers
// chosen queries itself with a request for a local file, or answers every login with a switch to
// the clear-text password plugin. Offers no TLS, so every byte a client sends can be seen here.
class LyingServer : public Relay {
public:
    using Relay::Relay;
    ~LyingServer() override { stop(); }

    // Every query whose text starts with prefix ("" for all) is answered with a request for fileName.
    void askForFileOn(std::string prefix, std::string fileName);
    // Every query whose text starts with prefix is answered with this result set, all text, its
    // rows sent over and over (repeat times), as a server would send a listing without end.
    using Row = std::vector<std::optional<std::string>>;
    void answerWith(std::string prefix, std::vector<std::string> columns, std::vector<Row> rows, long repeat = 1);
    // Every login is answered with a switch to that plugin: the clear-text password's, or one
    // that would ask for the server's public key on a plain connection.
    void askToSwitchTo(std::string plugin) { switchTo_ = std::move(plugin); }

    // What clients sent in answer to the requests: file bytes, or what followed the switch.
    std::string answers() const;
    // caching_sha2_password's first answer, a scramble: the liar then asks for the full
    // authentication, and what follows goes to answers().
    std::string scrambles() const;
    // Logins whose first packet (the answer to the greeting) reached the liar.
    int loginsHeard() const;
    int requestsMade() const;
    std::vector<std::string> queries() const;

private:
    struct Trap {
        std::string prefix;
        std::string fileName; // a file request, or
        std::vector<std::string> columns; // a result set
        std::vector<Row> rows;
        long repeat = 1;
    };
    void serve(int client, int server) override;
    const Trap *trapFor(const std::string &query) const;

    std::vector<Trap> traps_;
    std::string switchTo_;
    std::string answers_;
    std::string scrambles_;
    int logins_ = 0;
    int requests_ = 0;
    std::vector<std::string> queries_;
};
