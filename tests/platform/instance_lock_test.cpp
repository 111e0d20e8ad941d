#include "platform/instance_lock.hpp"

#include "platform/error.hpp"
#include "platform/session/user_folders.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

namespace platform {
namespace {

// Sets an environment variable for the length of a test.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(InstanceLock, OnlyOneHolderAtATime) {
    test_support::TemporaryFolder folder;
    const auto file = folder.path() / "vantor-mcp.lock";

    auto first = InstanceLock::tryAcquire(file);
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::tryAcquire(file)) << "a second claim in the same process";

    // Another process is refused too while the lock is held.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The forked copy of `first` shares its lock; a fresh open must still be refused.
        ::_exit(InstanceLock::tryAcquire(file) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.reset();
    EXPECT_TRUE(InstanceLock::tryAcquire(file)) << "released when its holder goes";
}

TEST(InstanceLock, MovedLockStaysHeld) {
    test_support::TemporaryFolder folder;
    const auto file = folder.path() / "vantor-mcp.lock";
    auto lock = InstanceLock::tryAcquire(file);
    ASSERT_TRUE(lock);
    InstanceLock moved = std::move(*lock);
    lock.reset();
    EXPECT_FALSE(InstanceLock::tryAcquire(file));
}

TEST(InstanceLock, MakesAMissingFolderPrivate) {
    test_support::TemporaryFolder folder;
    const auto file = folder.path() / "config" / "vantor-mcp" / "vantor-mcp.lock";
    ASSERT_TRUE(InstanceLock::tryAcquire(file));
    struct stat info {};
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST(InstanceLock, UnusableFileThrows) {
    test_support::TemporaryFolder folder;
    // A folder in the file's place can't be opened for writing.
    EXPECT_THROW(InstanceLock::tryAcquire(folder.path()), Error);
}

TEST(InstanceLock, DefaultFile) {
    // Without XDG_RUNTIME_DIR the lock is where a program started in the desktop session finds
    // it: the system's runtime folder for the user, when this machine has one.
    const auto system = systemRuntimeFolder(::geteuid());
    const std::string fallback = system ? (*system / "vantor-mcp.lock").string()
                                        : "/home/someone/.config/vantor-mcp/vantor-mcp.lock";
    const struct {
        const char* name;
        std::optional<std::string> runtime;
        std::string want;
    } kCases[] = {
        {"runtime folder", "/run/user/1000", "/run/user/1000/vantor-mcp.lock"},
        {"no runtime folder", std::nullopt, fallback},
        {"empty runtime folder", "", fallback},
        {"relative runtime folder", "run", fallback},
    };
    ScopedVariable config("XDG_CONFIG_HOME", "/home/someone/.config");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedVariable runtime("XDG_RUNTIME_DIR", c.runtime);
        EXPECT_EQ(defaultInstanceLockFile(), c.want);
    }
}

}  // namespace
}  // namespace platform
