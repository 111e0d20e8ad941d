#pragma once

// ProtocolVersionAware: a transport that must know the protocol revision agreed in the
// handshake, because it states it on every message it carries (the HTTP client transport
// sends it as a header). The client tells such a transport once the server has answered.

#include <boost/asio/awaitable.hpp>

#include <string>

namespace mcp {

class ProtocolVersionAware {
public:
    virtual ~ProtocolVersionAware() = default;

    // Records `version`, the revision the server answered with, for the messages sent from
    // now on. Runs on the transport's own strand; never throws.
    virtual boost::asio::awaitable<void> setNegotiatedProtocolVersion(std::string version) = 0;
};

}  // namespace mcp
