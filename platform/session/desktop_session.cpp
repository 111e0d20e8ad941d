#include "platform/session/desktop_session.hpp"

namespace platform {

namespace {

constexpr std::string_view kDisplay = "DISPLAY";
constexpr std::string_view kRuntimeFolder = "XDG_RUNTIME_DIR";
constexpr std::string_view kConfigFolder = "XDG_CONFIG_HOME";

// withRuntimeFolder: environment with XDG_RUNTIME_DIR set to folder when it names none that
// programs would use (unset, empty or relative).
Environment withRuntimeFolder(Environment environment, const std::optional<std::filesystem::path>& folder) {
    const auto named = environment.find(kRuntimeFolder);
    if (folder && (named == environment.end() || !named->second.starts_with('/'))) {
        environment.insert_or_assign(std::string(kRuntimeFolder), folder->string());
    }
    return environment;
}

}  // namespace

std::optional<Environment> desktopSessionEnvironment(const Environment& own, const SessionFolders& folders,
                                                     const std::function<Environment(const Environment&)>& askManager) {
    Environment result = own;
    if (!isSet(result, kDisplay)) {
        for (auto& [name, value] : askManager(withRuntimeFolder(own, folders.systemRuntime))) {
            if (!isSet(result, name)) result.insert_or_assign(name, std::move(value));
        }
        if (!isSet(result, kDisplay)) return std::nullopt;
    }
    result = withRuntimeFolder(std::move(result), folders.systemRuntime);
    result.insert_or_assign(std::string(kConfigFolder), folders.config.string());
    return result;
}

}  // namespace platform
