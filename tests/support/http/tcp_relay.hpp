#pragma once

// TCPRelay: passes TCP connections from 127.0.0.1 (a free port) on to another port, on a
// thread of its own, so that a test can cut every connection at once as a network would.

#include <cstdint>
#include <memory>

namespace test_support {

class TCPRelay {
public:
    explicit TCPRelay(std::uint16_t upstreamPort);
    ~TCPRelay();
    TCPRelay(const TCPRelay&) = delete;
    TCPRelay& operator=(const TCPRelay&) = delete;

    std::uint16_t port() const { return port_; }
    // Closes every connection relayed so far, on both sides; new ones are relayed as before.
    void dropAll();
    int connectionsAccepted() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::uint16_t port_ = 0;
};

}  // namespace test_support
