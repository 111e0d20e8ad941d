#include "platform/session/user_folders.hpp"

#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(SystemRuntimeFolder, OnlyTheUsersOwnFolder) {
    const uid_t me = ::geteuid();
    const uid_t other = me + 1;
    const struct {
        const char* name;
        uid_t asked;
        std::function<void(const fs::path& base)> make;
        bool found;
    } kCases[] = {
        {"the user's folder", me, [&](const fs::path& base) { fs::create_directory(base / std::to_string(me)); }, true},
        {"missing", me, [](const fs::path&) {}, false},
        {"a file", me, [&](const fs::path& base) { std::ofstream(base / std::to_string(me)) << "x"; }, false},
        {"a link to a folder", me,
         [&](const fs::path& base) {
             fs::create_directory(base / "elsewhere");
             fs::create_directory_symlink(base / "elsewhere", base / std::to_string(me));
         },
         false},
        // Made by this process, so it belongs to this user and not to the one asked for.
        {"another user's", other, [&](const fs::path& base) { fs::create_directory(base / std::to_string(other)); },
         false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        test_support::TemporaryFolder base;
        c.make(base.path());
        const auto found = systemRuntimeFolder(c.asked, base.path());
        EXPECT_EQ(found, c.found ? std::optional<fs::path>(base.path() / std::to_string(c.asked)) : std::optional<fs::path>());
    }
}

}  // namespace
}  // namespace platform
