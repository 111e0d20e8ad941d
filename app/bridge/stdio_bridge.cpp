#include "app/bridge/stdio_bridge.hpp"

#include "app/bridge/line_reader.hpp"
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
    LineReader reader(input, kLineLimit);
    while (auto line = reader.next()) {
        if (!line->tooLarge) {
            forwardLine(line->text);
        } else if (line->id && !isUsableID(*line->id)) {
            dependencies_.writeLine(kBadIDLine);
        } else {
            refuseTooLarge(line->id, line->size);
        }
    }
}

void StdioBridge::forwardLine(std::string_view line) {
    if (isBlankLine(line)) return;
    const auto role = lineRole(line);
    if (role == LineRole::badID) {
        dependencies_.writeLine(kBadIDLine);
        return;
    }
    const auto id = role == LineRole::request ? requestID(line) : std::nullopt;
    if (line.size() > kLineLimit) {
        refuseTooLarge(id, line.size());
        return;
    }
    if (auto name = initializeClientName(line)) knownClient_ = std::move(name);
    try {
        handleReply(postOrLaunch(line), role, id);
    } catch (const std::exception& error) {
        access_.reset();
        if (!id) return;
        if (auto reply = unreachableLine(*id, error.what())) dependencies_.writeLine(*reply);
    }
}

void StdioBridge::refuseTooLarge(const std::optional<mcp::Value>& id, std::size_t size) {
    if (!id) return;
    if (auto reply = tooLargeLine(*id, size, kLineLimit)) dependencies_.writeLine(*reply);
}

const StdioBridge::HostAccess& StdioBridge::access() {
    if (!access_) {
        // The port first: a bad one must fail before the token is even read.
        auto url = endpointURL(dependencies_.settings);
        access_ = HostAccess{std::move(url), accessToken(dependencies_.settings, dependencies_.random)};
    }
    return *access_;
}

bool StdioBridge::accessChanged() {
    auto used = std::exchange(access_, std::nullopt);
    return used != access();
}

HostReply StdioBridge::post(std::string_view line) {
    const auto& [url, token] = access();
    postedTo_ = url;
    HostClient::Headers headers{
        {"Content-Type", "application/json"},
        {"Accept", "application/json, text/event-stream"},
        {"Authorization", "Bearer " + token},
    };
    if (knownVersion_) headers.emplace_back("MCP-Protocol-Version", *knownVersion_);
    if (knownClient_) {
        if (auto name = encodeClientName(*knownClient_); !name.empty()) {
            headers.emplace_back(std::string(kClientHeader), std::move(name));
        }
    }
    return dependencies_.host.post(postedTo_, headers, std::string(line));
}

HostReply StdioBridge::postOrLaunch(std::string_view line) {
    try {
        auto reply = post(line);
        // The token refused, or another program at the port: the settings kept since the
        // last failure may be out of date.
        if ((reply.status == 401 || !reply.launch) && accessChanged()) return post(line);
        return reply;
    } catch (const HostUnreachable& error) {
        if (!error.refused()) throw;
    }
    // Nothing listens there: the program may listen on another port by now.
    if (accessChanged()) {
        try {
            return post(line);
        } catch (const HostUnreachable& error) {
            if (!error.refused()) throw;
        }
    }
    launchHostAndRetry();
    return post(line);
}

void StdioBridge::launchHostAndRetry() {
    // The program started now may make the token, or find another port in the settings.
    access_.reset();
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

void StdioBridge::handleReply(const HostReply& reply, LineRole role, const std::optional<mcp::Value>& id) {
    const auto status = std::to_string(reply.status);
    // The program's host names its run on every answer: without that, another program holds
    // the port, and none of what it says may reach the client.
    if (!reply.launch) throw HostUnreachable(false, "Another program answers at " + postedTo_ + " (HTTP " + status + ").");
    const bool restarted = lastLaunch_ && *lastLaunch_ != *reply.launch;
    lastLaunch_ = reply.launch;

    if (reply.status != 202) {
        const RelayedReply body(reply.body);
        const bool message = body.isJSONObject();
        if (message) {
            if (auto version = body.protocolVersion()) knownVersion_ = std::move(version);
        }
        if (role == LineRole::request && !message) {
            const auto reason = "The answer from " + postedTo_ + " is no JSON-RPC message (HTTP " + status + ").";
            if (auto line = unreachableLine(*id, reason)) dependencies_.writeLine(*line);
        } else if (message && (role == LineRole::request || role == LineRole::other)) {
            dependencies_.writeLine(body.line(id));
        }
    }
    if (restarted) dependencies_.writeLine(kToolsListChangedLine);
}

}  // namespace app
