#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "fakes/FakeTcpSocket.h"
#include "veltrana-sim/ProtocolCore.h"

namespace ostrell::reliability {

// The test server's protocol core as the peer of a fake socket: every line the agent sends is carried
// out by the core (and ledgered), its reply comes back as one arrival after replyDelayMs of virtual
// time, and "quit" closes the connection. The core and its store outlive the socket, as a server
// outlives a client that crashes.
class SimBehindFakeSocket {
public:
    SimBehindFakeSocket(fake::FakeTcpSocket& socket, sim::ProtocolCore& core, uint64_t& connections,
                        int64_t replyDelayMs = 5);

    // Called with each line the agent sent, before the server sees it (may throw to stop the agent there).
    std::function<void(const std::string& line)> beforeLine;

private:
    fake::FakeTcpSocket& socket_;
    sim::ProtocolCore& core_;
    uint64_t& connections_;
    int64_t replyDelayMs_;
    sim::Session session_;
};

}  // namespace ostrell::reliability
