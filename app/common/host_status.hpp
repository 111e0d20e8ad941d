#pragma once

#include "platform/observed.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// ListenerReport: one change in the state of the host's listener, as the host sends it to the
// main thread. Every listener the host makes gets a new, greater generation, and each of its
// reports carries it, so that a report of a listener that has since been replaced can be told
// apart from the reports of the current one.
struct ListenerReport {
    enum class State {
        // Bound and accepting: running, no problem.
        ready,
        // Binding or listening failed: not running, `problem` says why ("Port 47293: …").
        failed,
        // Closed by a restart: not running; the problem stays as it was.
        cancelled,
        // No listener could be made (an unusable port, no token): `problem` says why; running
        // stays as it was.
        notCreated,
    };

    std::uint64_t generation = 0;
    State state = State::ready;
    std::string problem;

    friend bool operator==(const ListenerReport&, const ListenerReport&) = default;
};

// HostStatus: the host's observable status, one instance for the program's life, followed by
// the tray panel and read by the tool calls: whether the listener is accepting requests, its
// last problem, and the name of the last AI client that was recognised. Writing an equal
// value notifies no one.
//
// Main thread only.
class HostStatus {
public:
    // The name shown for a client that gave none.
    static constexpr std::string_view kUnnamedClient = "Your AI";

    HostStatus() = default;
    HostStatus(const HostStatus&) = delete;
    HostStatus& operator=(const HostStatus&) = delete;

    // running and problem are for reading and subscribing; they change through apply() only.
    platform::Observed<bool>& running() { return running_; }
    const platform::Observed<bool>& running() const { return running_; }
    platform::Observed<std::optional<std::string>>& problem() { return problem_; }
    const platform::Observed<std::optional<std::string>>& problem() const { return problem_; }
    // lastClient: written whenever a client is recognised; never cleared.
    platform::Observed<std::optional<std::string>>& lastClient() { return lastClient_; }
    const platform::Observed<std::optional<std::string>>& lastClient() const { return lastClient_; }

    // apply: takes a report of the program's one host into running and problem. A report of
    // an older generation than one already applied is ignored: a restarted listener's late
    // "cancelled" must not mark the new one as not running.
    void apply(const ListenerReport& report);

    // clientDisplayName: the client name to show in texts: name when it is present and not
    // empty, else lastClient when present and not empty, else kUnnamedClient.
    std::string clientDisplayName(const std::optional<std::string>& name) const;

private:
    platform::Observed<bool> running_{false};
    platform::Observed<std::optional<std::string>> problem_;
    platform::Observed<std::optional<std::string>> lastClient_;
    std::uint64_t newestGeneration_ = 0;
};

}  // namespace app
