#pragma once

#include "support/Relay.h"

#include <string>
#include <vector>

// A relay in front of a server that offers no TLS, passes every byte both ways and keeps the
// client's query texts (COM_QUERY packets) exactly as they went over the wire, so a test sees what the server
// received before the server itself trims anything, such as a closing semicolon.
class WireRecorder : public Relay {
public:
    using Relay::Relay;
    ~WireRecorder() override { stop(); }

    std::vector<std::string> queries() const;

private:
    void serve(int client, int server) override;

    std::vector<std::string> queries_;
};
