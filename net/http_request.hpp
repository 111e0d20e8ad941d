#pragma once

// HTTPRequest and HTTPResponse: one HTTP exchange as plain values.

#include "net/header_map.hpp"

#include <boost/asio/ip/tcp.hpp>
#include <boost/url/url.hpp>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace net {

struct HTTPRequest {
    // "GET", "POST", ... sent as given.
    std::string method = "GET";
    // An absolute http or https URL; its path and query are the request target.
    boost::urls::url url;
    // Sent in this order. "Host" is added when absent, "Content-Length" for a body; the
    // client adds nothing else (no "Accept-Encoding": answers come uncompressed).
    HeaderMap headers;
    std::string body;
    // An idle timeout: it restarts with every connect, write and read, so a stream that
    // keeps delivering never times out; there is no total deadline.
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
    // Called with the addresses the host resolved to, before a connection to any of them is
    // made; whatever it throws ends the request. The connection goes only to addresses it
    // passed: a request with a check never reuses a connection made without one.
    std::function<void(const std::vector<boost::asio::ip::tcp::endpoint>&)> addressCheck;
};

// A response read to its end.
struct HTTPResponse {
    int status = 0;
    HeaderMap headers;
    std::string body;
};

}  // namespace net
