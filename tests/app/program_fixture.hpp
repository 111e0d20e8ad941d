#pragma once

#include "tests/support/temporary_folder.hpp"

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// The vantor-mcp executable under test.
inline constexpr const char* kVantorMCP = VANTOR_MCP_EXECUTABLE;

// ProgramHome: a user's world for the vantor-mcp executable, private to one test: its own
// settings folder (XDG_CONFIG_HOME) and runtime folder (XDG_RUNTIME_DIR, where the
// single-instance lock lives), so that programs of other tests, or the developer's own, are
// neither seen nor disturbed. Its user has no service manager: a `systemctl` that fails comes
// first on the PATH of its environment, so that a bridge without DISPLAY finds no desktop
// session, never the developer's own; a test may put another there (binFolder). Programs that
// started with this home are ended when it goes.
class ProgramHome {
public:
    ProgramHome();
    ~ProgramHome();
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    const std::filesystem::path& folder() const { return folder_.path(); }
    std::filesystem::path settingsFile() const;
    std::filesystem::path lockFile() const;
    // binFolder: the folder of the home's own commands, first on its PATH.
    std::filesystem::path binFolder() const { return folder() / "bin"; }

    // configure: stores the port and the access token in the settings, as a user's who has
    // seen the welcome window (so that it doesn't stand in front of what the test looks at).
    void configure(unsigned short port, const std::string& token);
    std::optional<std::string> setting(const std::string& key) const;

    // environment: this process's environment with the home's folders, binFolder first on
    // PATH, and DISPLAY set to display or (when empty) removed.
    std::vector<std::string> environment(const std::string& display = {}) const;

    // programs: the running tray programs (vantor-mcp without "--stdio") of this home.
    std::vector<pid_t> programs() const;
    // reopenSocket: where the running program hears later starts of itself.
    std::filesystem::path reopenSocket() const;
    // startsTaken: whether the running program has read every message that later starts sent
    // to its reopen socket: none waits in the socket's queue, as ss reports it.
    bool startsTaken() const;
    // endPrograms: ends them with SIGTERM and waits until they are gone.
    void endPrograms() const;

private:
    TemporaryFolder folder_;
};

}  // namespace test_support
