#pragma once

#include <string_view>

namespace app {

// The one argument that makes the executable the --stdio bridge instead of the tray program.
inline constexpr std::string_view kStdioArgument = "--stdio";

// Role: what one start of the executable is.
enum class Role {
    // The tray program, with its local host.
    program,
    // The --stdio bridge: no window, no Qt application; forwards standard input to the host.
    stdioBridge,
};

// roleFor: stdioBridge when any of the arguments, argv[0] included, is exactly kStdioArgument
// (same letter case, nothing added: "--stdio=1", "-stdio" and "--STDIO" don't count), wherever
// it stands; program otherwise.
Role roleFor(int argc, const char* const* argv);

}  // namespace app
