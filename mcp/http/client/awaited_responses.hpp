#pragma once

// AwaitedResponses: the ids of the requests that one posted message carries (a request, or
// the requests of a batch), struck off as the messages that answer them go by. The HTTP
// client transport keeps one per POST, so that it can tell an event stream that ended after
// its answers from one that broke off before them, and resume the latter.
//
//     auto awaited = AwaitedResponses::of(R"({"jsonrpc":"2.0","id":7,"method":"ping"})");
//     awaited.strikeAnswered(R"({"jsonrpc":"2.0","id":7,"result":{}})");
//     awaited.empty();   // true
//
// A plain value; it reads JSON and knows nothing of HTTP.

#include <boost/json/value.hpp>

#include <string_view>
#include <vector>

namespace mcp {

class AwaitedResponses {
public:
    // The requests of `message`: an object with "method" and "id", or an array holding such
    // objects. A notification, a response, and bytes that are not JSON await nothing.
    static AwaitedResponses of(std::string_view message);

    // Strikes off the requests that `message` answers: an object without "method" whose "id"
    // is awaited, or an array of such objects. Anything else changes nothing.
    void strikeAnswered(std::string_view message);

    // True when no answer is awaited any more (or none ever was).
    bool empty() const noexcept { return ids_.empty(); }

private:
    void strike(const boost::json::value& message);

    std::vector<boost::json::value> ids_;
};

}  // namespace mcp
