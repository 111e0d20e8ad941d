#pragma once

#include "app/bridge/bridge_messages.hpp"
#include "app/bridge/host_client.hpp"
#include "app/host/http_request_reader.hpp"

#include "mcp/json/value.hpp"

#include "platform/secure_random.hpp"
#include "platform/self_launcher.hpp"
#include "platform/settings.hpp"

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// BridgeProbing: how the bridge waits for a program it has started: up to `attempts` probes,
// each `interval` after the one before (the first `interval` after the start).
struct BridgeProbing {
    std::chrono::steady_clock::duration interval = std::chrono::milliseconds(250);
    int attempts = 40;
};

// StdioBridge: the --stdio bridge's work on the lines of its input. Each line is posted
// unchanged to the running program's local host, with the access token and the client's name,
// and the host's answer is written back as one line; when nothing listens, the program is
// started and the line posted once more; a line that can't be delivered is answered with an
// error line when it is a request. Lines are handled strictly one after the other.
//
// Every line written is one JSON-RPC message: an answer that is none (another program on the
// port, a page of HTML) becomes an error line for a request, and nothing otherwise.
// Notifications and responses get no line; a line longer than the host takes is refused
// without posting, and is never held whole in memory.
//
// The endpoint and the token are read once and kept until a post fails: nothing answers, the
// answer is not the program's, or the token is refused (401). Then they are read again, and
// when they changed (the program moved to another port, its token was made anew) the line is
// posted once more with the new ones before anything else is tried; none of these failures
// lets the program act on the line, so nothing is done twice.
//
// It remembers, for its whole life, the client's name (from the last initialize that gave
// one), the protocol version (from the last reply that carried one) and the last launch id
// the host sent; a new launch id means that the program was started anew, and the client is
// told to fetch the tool list again.
//
// One thread only; blocks while it posts.
class StdioBridge {
public:
    struct Dependencies {
        // The endpoint and the access token: read for the first post, and again only after a
        // failure (see above).
        platform::Settings& settings;
        platform::SecureRandom& random;
        HostClient& host;
        platform::SelfLauncher& launcher;
        // Writes one line to the client; the line feed is added by it.
        std::function<void(std::string_view line)> writeLine;
    };

    // The longest line posted: the host takes no longer body.
    static constexpr std::size_t kLineLimit = HTTPRequestReader::kMaxContentLength;

    explicit StdioBridge(Dependencies dependencies, BridgeProbing probing = {});

    // forwardLine: one line of input, without its line terminator, from posting to writing:
    // a blank line is skipped; a line with a bad id gets kBadIDLine and a line longer than
    // kLineLimit the too-large error line (when it is a request), neither posted. For a
    // request the answer's JSON object is written as one line unless the answer is 202; an
    // answer that is no JSON object, or not the program's (no launch header), gets the
    // unreachable error line instead. A line that is no JSON object gets the answer's JSON
    // object, if any; notifications and responses get nothing. The list-changed line follows
    // when the launch id changed. A request that can't be delivered gets the unreachable
    // error line. Never throws.
    void forwardLine(std::string_view line);

    // run: forwardLine for every line of input (ended by a line feed, or a carriage return and
    // a line feed; a last line without one counts too) until the input ends.
    void run(std::istream& input);

private:
    // HostAccess: where posts go and the token they carry, as last read from the settings.
    struct HostAccess {
        std::string url;
        std::string token;
        bool operator==(const HostAccess&) const = default;
    };

    const HostAccess& access();
    bool accessChanged();
    HostReply post(std::string_view line);
    HostReply postOrLaunch(std::string_view line);
    void launchHostAndRetry();
    void handleReply(const HostReply& reply, LineRole role, const std::optional<mcp::Value>& id);
    void refuseTooLarge(const std::optional<mcp::Value>& id, std::size_t size);

    Dependencies dependencies_;
    BridgeProbing probing_;
    std::optional<std::string> knownClient_;
    std::optional<std::string> knownVersion_;
    std::optional<std::string> lastLaunch_;
    std::optional<HostAccess> access_;
    // The endpoint of the last post, for the error lines.
    std::string postedTo_;
};

}  // namespace app
