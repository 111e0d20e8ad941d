#include "app/common/reopening.hpp"

#include "platform/reopen_socket.hpp"

namespace app {

bool startedByBridge(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && argv[i] == kFromBridgeArgument) return true;
    }
    return false;
}

void SocketReopening::reopen() {
    platform::sendReopen(socketFile_, kind_);
}

}  // namespace app
