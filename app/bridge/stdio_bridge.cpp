#include "app/bridge/stdio_bridge.hpp"

#include "app/bridge/bridge_messages.hpp"
#include "app/host/connection_settings.hpp"
#include "app/host/host_headers.hpp"

#include <exception>
#include <istream>
#include <thread>
#include <utility>

namespace app {

StdioBridge::StdioBridge(Dependencies dependencies, BridgeProbing probing)
    : dependencies_(std::move(dependencies)), probing_(probing) {}

void StdioBridge::run(std::istream& input) {
    std::string line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        forwardLine(line);
    }
}

void StdioBridge::forwardLine(std::string_view line) {
    if (isBlankLine(line)) return;
    const auto id = requestID(line);
    if (auto name = initializeClientName(line)) knownClient_ = std::move(name);
    try {
        handleReply(postOrLaunch(line), id);
    } catch (const std::exception& error) {
        if (!id) return;
        if (auto reply = unreachableLine(*id, error.what())) dependencies_.writeLine(*reply);
    }
}

HostReply StdioBridge::post(std::string_view line) {
    HostClient::Headers headers{
        {"Content-Type", "application/json"},
        {"Accept", "application/json, text/event-stream"},
        {"Authorization", "Bearer " + accessToken(dependencies_.settings, dependencies_.random)},
    };
    if (knownVersion_) headers.emplace_back("MCP-Protocol-Version", *knownVersion_);
    if (knownClient_) {
        if (auto name = encodeClientName(*knownClient_); !name.empty()) {
            headers.emplace_back(std::string(kClientHeader), std::move(name));
        }
    }
    return dependencies_.host.post(endpointURL(dependencies_.settings), headers, std::string(line));
}

HostReply StdioBridge::postOrLaunch(std::string_view line) {
    try {
        return post(line);
    } catch (const HostUnreachable& error) {
        if (!error.refused()) throw;
    }
    launchHostAndRetry();
    return post(line);
}

void StdioBridge::launchHostAndRetry() {
    dependencies_.launcher.launchDetached();
    for (int attempt = 1;; ++attempt) {
        std::this_thread::sleep_for(probing_.interval);
        const auto url = endpointURL(dependencies_.settings);
        try {
            dependencies_.host.probe(url);
            return;
        } catch (const HostUnreachable&) {
            if (attempt >= probing_.attempts) {
                throw HostUnreachable(true, "The program was started but doesn't answer at " + url + ".");
            }
        }
    }
}

void StdioBridge::handleReply(const HostReply& reply, const std::optional<mcp::Value>& id) {
    bool restarted = false;
    if (reply.launch) {
        restarted = lastLaunch_ && *lastLaunch_ != *reply.launch;
        lastLaunch_ = reply.launch;
    }
    if (reply.status != 202 && !reply.body.empty()) {
        if (auto version = protocolVersion(reply.body)) knownVersion_ = std::move(version);
        dependencies_.writeLine(replyLine(reply.body, id));
    }
    if (restarted) dependencies_.writeLine(kToolsListChangedLine);
}

}  // namespace app
