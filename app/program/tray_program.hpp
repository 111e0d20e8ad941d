#pragma once

#include "app/program/startup.hpp"

namespace app {

// ProgramSeams: what main chooses for the parts of the start-up that other parts of the
// program provide. The references must outlive runTrayProgram.
struct ProgramSeams {
    Reopening& reopening;
};

// runTrayProgram: the whole life of the tray program, the executable started without
// "--stdio". In order:
//  1. claims the single-instance lock (defaultInstanceLockFile); when another instance holds
//     it, runs seams.reopening and returns 0 at once;
//  2. makes sure an X display can be reached; when none can, says so on standard error and
//     returns 1 (no Qt application is made, so Qt aborts nothing);
//  3. makes the Qt application, the Asio threads of the host (two), the host status, the host,
//     the tray icon with its panel and the welcome window, and runs startApplication: the host
//     starts listening and, on the first run, the welcome window opens;
//  4. runs the Qt event loop until the program quits, then stops the host's threads.
// Returns the event loop's exit code. Main thread.
int runTrayProgram(int argc, char** argv, ProgramSeams seams);

}  // namespace app
