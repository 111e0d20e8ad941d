#pragma once

#include "tests/support/x11/x_session.hpp"

#include <string>

namespace test_support {

// trayShowsTheProgram: whether the session holds the window Qt makes for the program's tray
// icon, named and classed as the program.
inline bool trayShowsTheProgram(const XSession& session) {
    const auto tree = session.runChecked({"xwininfo", "-root", "-tree"});
    return tree.find(R"("Vantor MCP": ("vantor-mcp" "vantor-mcp"))") != std::string::npos;
}

}  // namespace test_support
