#pragma once

#include "app/common/onboarding.hpp"

#include "platform/reopen_socket.hpp"

#include <filesystem>
#include <string_view>

namespace app {

// The argument the --stdio bridge starts the program with. A start of the program that finds
// it running tells the running instance, which shows its running notice, unless the start was
// the bridge's: then the user did nothing and is shown nothing (but the instance still tries
// its port again if it couldn't listen: the bridge found nobody there).
inline constexpr std::string_view kFromBridgeArgument = "--from-bridge";

// startedByBridge: whether any argument after argv[0] is exactly kFromBridgeArgument.
bool startedByBridge(int argc, const char* const* argv);

// SocketReopening: Reopening through the running instance's reopen socket (beside the
// instance lock), as a start by the user (the instance shows its running notice) or by the
// bridge (it shows nothing). Either way the instance tries its port again if it couldn't
// listen. Doesn't wait for it; a running instance that doesn't listen (yet) misses the message.
class SocketReopening final : public Reopening {
public:
    explicit SocketReopening(std::filesystem::path socketFile, platform::ReopenKind kind = platform::ReopenKind::user)
        : socketFile_(std::move(socketFile)), kind_(kind) {}
    void reopen() override;

private:
    std::filesystem::path socketFile_;
    platform::ReopenKind kind_;
};

}  // namespace app
