#include "support/WireRecorder.h"

std::vector<std::string> WireRecorder::queries() const
{
    const std::lock_guard lock(mutex_);
    return queries_;
}

void WireRecorder::serve(int client, int server)
{
    // Without TLS, so the queries can be read on their way.
    if (!wire::greetWithoutTls(server, client))
        return;
    std::string fromClient; // bytes not yet cut into packets
    carry(client, server, [&](bool isClient, std::string_view bytes) {
        if (!isClient)
            return true;
        fromClient.append(bytes);
        wire::Packet p;
        while (wire::takePacket(fromClient, p)) {
            if (p.sequence == 0 && !p.payload.empty() && p.payload[0] == 0x03) { // COM_QUERY
                const std::lock_guard lock(mutex_);
                queries_.push_back(p.payload.substr(1));
            }
        }
        return true;
    });
}
