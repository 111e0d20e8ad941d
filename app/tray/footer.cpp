#include "app/tray/footer.hpp"

namespace app::footer {

std::string updateMessage(std::string_view version) {
    const std::string running = version.empty() ? "This copy of Vantor MCP has no version number."
                                                : "You are running Vantor MCP " + std::string(version) + ".";
    return running +
           "\n\nVantor MCP doesn't update itself: updates come with the package you installed it from. "
           "Your system's package manager or software centre installs them.";
}

}  // namespace app::footer
