#include "app/program/tray_program.hpp"

#include "platform/instance_lock.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <optional>
#include <string>

namespace app {
namespace {

// Counts what the start-up asked of the seam.
class Seams final : public Reopening {
public:
    void reopen() override { ++reopens; }
    int reopens = 0;
};

// The environment of one test: its own runtime and settings folders, and no display.
class TrayProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        remember("XDG_RUNTIME_DIR");
        remember("XDG_CONFIG_HOME");
        remember("DISPLAY");
        ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder_.path() / "config").c_str(), 1);
        ::unsetenv("DISPLAY");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    int run() {
        static char name[] = "vantor-mcp";
        char* argv[] = {name, nullptr};
        return runTrayProgram(1, argv, {seams});
    }

    test_support::TemporaryFolder folder_;
    Seams seams;

private:
    void remember(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(TrayProgramTest, SecondStartReopensTheRunningOneAndEnds) {
    const auto running = platform::InstanceLock::tryAcquire(folder_.path() / "vantor-mcp.lock");
    ASSERT_TRUE(running);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(seams.reopens, 1);
}

TEST_F(TrayProgramTest, WithoutADisplayItFailsBeforeAnyWindow) {
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(seams.reopens, 0);
    EXPECT_TRUE(platform::InstanceLock::tryAcquire(folder_.path() / "vantor-mcp.lock")) << "the lock is released";
}

}  // namespace
}  // namespace app
