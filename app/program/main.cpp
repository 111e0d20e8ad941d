#include "app/bridge/command_line.hpp"
#include "app/common/reopening.hpp"
#include "app/program/run_stdio_bridge.hpp"
#include "app/program/startup.hpp"
#include "app/program/tray_program.hpp"

#include "platform/error.hpp"
#include "platform/instance_lock.hpp"
#include "platform/reopen_socket.hpp"

#include <csignal>
#include <filesystem>

// vantor-mcp: with the argument "--stdio" the bridge an AI client starts, otherwise the tray
// program with its local host. The parts that other parts of the program provide are chosen
// here.
int main(int argc, char** argv) {
    // A reader that went away (a client closing our output, a peer closing its socket) is seen
    // as a failed write, not as a signal that ends the process.
    std::signal(SIGPIPE, SIG_IGN);
    if (app::roleFor(argc, argv) == app::Role::stdioBridge) return app::runStdioBridge();

    // A start made by the bridge ends quietly; the user's own start shows the running notice.
    // Both make a running instance that couldn't listen try its port again.
    std::filesystem::path reopenSocket;
    try {
        reopenSocket = platform::reopenSocketFile(platform::defaultInstanceLockFile());
    } catch (const platform::Error&) {
        // No folder for the lock: the lock itself fails and says why.
    }
    app::SocketReopening reopening(reopenSocket, app::startedByBridge(argc, argv) ? platform::ReopenKind::bridge
                                                                                   : platform::ReopenKind::user);
    return app::runTrayProgram(argc, argv, {reopening});
}
