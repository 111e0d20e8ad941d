#include "app/command_line.hpp"
#include "app/run_stdio_bridge.hpp"
#include "app/startup.hpp"
#include "app/tray_program.hpp"

#include <csignal>

// vantor-mcp: with the argument "--stdio" the bridge an AI client starts, otherwise the tray
// program with its local host. The parts that other parts of the program provide are chosen
// here.
int main(int argc, char** argv) {
    // A reader that went away (a client closing our output, a peer closing its socket) is seen
    // as a failed write, not as a signal that ends the process.
    std::signal(SIGPIPE, SIG_IGN);
    if (app::roleFor(argc, argv) == app::Role::stdioBridge) return app::runStdioBridge();

    app::NoReopening reopening;
    app::NoWelcomeWindow welcome;
    return app::runTrayProgram(argc, argv, {reopening, welcome});
}
