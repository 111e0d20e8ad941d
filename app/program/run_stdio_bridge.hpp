#pragma once

namespace app {

// runStdioBridge: the whole life of an executable started with "--stdio": forwards the lines
// of standard input to the running program (StdioBridge, with the settings store, the HTTP
// client and the launcher of the real system) and writes only the replies to standard output,
// each with one write; anything else that would go there goes to standard error. A
// ParentWatchdog checks every 3 seconds that the process that started it is still there.
// Returns 0 at the end of input (the watchdog ends the process itself with 0); 1, after a
// message on standard error, when the settings store or standard output can't be set up.
// Makes no Qt application and needs no display: a program it starts goes into the user's
// desktop session, which it finds in its own environment or else through the user's service
// manager (desktopSessionEnvironment); without one the client learns that at once.
int runStdioBridge();

}  // namespace app
