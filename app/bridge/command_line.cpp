#include "app/bridge/command_line.hpp"

#include <span>

namespace app {

Role roleFor(int argc, const char* const* argv) {
    if (argc <= 0 || !argv) return Role::program;
    for (const char* argument : std::span(argv, static_cast<std::size_t>(argc))) {
        if (argument && argument == kStdioArgument) return Role::stdioBridge;
    }
    return Role::program;
}

}  // namespace app
