#include "platform/ini_settings.hpp"

#include "platform/error.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

using test_support::TemporaryFolder;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class IniSettingsTest : public ::testing::Test {
protected:
    TemporaryFolder temp;
    fs::path file = temp.path() / "config" / "vantor-mcp" / "settings.ini";
    IniSettings settings{file};
};

TEST_F(IniSettingsTest, MissingFileReadsAsEmpty) {
    EXPECT_EQ(settings.getString("token"), std::nullopt);
    EXPECT_EQ(settings.getInt("port"), std::nullopt);
    EXPECT_FALSE(fs::exists(file.parent_path()));
}

// The store holds the access token: other users may read neither the file nor the folder,
// whatever the umask.
TEST_F(IniSettingsTest, FirstWriteMakesAPrivateFileInAPrivateFolder) {
    const auto old = ::umask(022);
    settings.setString("token", "secret");
    ::umask(old);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    EXPECT_EQ(contentsOf(file), "token=secret\n");
}

TEST_F(IniSettingsTest, OpenFolderIsClosedAndLooseFileReplacedOnWrite) {
    fs::create_directories(file.parent_path());
    fs::permissions(file.parent_path(), fs::perms(0755));
    std::ofstream(file) << "token=old\n";
    fs::permissions(file, fs::perms(0644));
    settings.setBool("hasSeenWelcome", true);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(modeOf(file.parent_path()), 0700u);
    EXPECT_EQ(contentsOf(file), "token=old\nhasSeenWelcome=true\n");
}

TEST_F(IniSettingsTest, SharedStickyFolderIsLeftAsItIs) {
    const auto shared = temp.path() / "shared";
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms(01777));
    IniSettings inShared(shared / "settings.ini");
    inShared.setString("token", "secret");
    EXPECT_EQ(modeOf(shared), 01777u);
    EXPECT_EQ(modeOf(shared / "settings.ini"), 0600u);
}

TEST_F(IniSettingsTest, ReadsAreFreshAcrossInstances) {
    IniSettings other(file);
    settings.setInt("port", 50000);
    EXPECT_EQ(other.getInt("port"), 50000);
    other.setInt("port", 50001);
    EXPECT_EQ(settings.getInt("port"), 50001);
    std::ofstream(file) << "port=50002\n";
    EXPECT_EQ(settings.getInt("port"), 50002);
}

TEST_F(IniSettingsTest, WritesReplaceTheFileAndLeaveNoTemporaryFiles) {
    const auto before = [&] {
        settings.setString("connectClient", "vsCode");
        return fs::status(file).type();
    }();
    EXPECT_EQ(before, fs::file_type::regular);
    const auto inodeOf = [&] {
        struct stat info {};
        ::stat(file.c_str(), &info);
        return info.st_ino;
    };
    const auto first = inodeOf();
    settings.setString("connectSection", "manual");
    EXPECT_NE(inodeOf(), first) << "the file was rewritten in place, not replaced";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"settings.ini", "settings.ini.lock"}));
}

TEST_F(IniSettingsTest, TypedValues) {
    settings.setInt("port", -1);
    settings.setBool("hasConnectedClient", false);
    settings.setString("token", "not a number");
    EXPECT_EQ(settings.getInt("port"), -1);
    EXPECT_EQ(settings.getBool("hasConnectedClient"), false);
    EXPECT_EQ(settings.getInt("token"), std::nullopt);
    EXPECT_EQ(settings.getBool("token"), std::nullopt);
    settings.setString("port", "12x");
    EXPECT_EQ(settings.getInt("port"), std::nullopt);
    settings.setString("port", "99999999999999999999");
    EXPECT_EQ(settings.getInt("port"), std::nullopt);
}

TEST_F(IniSettingsTest, BadKeysAreRefused) {
    for (std::string_view key : {"", "a=b", " port", "port ", "[port]", ";port", "line\nbreak"}) {
        EXPECT_THROW(settings.setString(key, "x"), std::invalid_argument) << key;
        EXPECT_THROW((void)settings.getString(key), std::invalid_argument) << key;
    }
}

TEST_F(IniSettingsTest, GetOrCreateMakesOnceAndKeepsOtherKeys) {
    settings.setInt("port", 50000);
    int made = 0;
    const auto make = [&] {
        ++made;
        return std::string("first");
    };
    EXPECT_EQ(settings.getOrCreateString("token", make), "first");
    EXPECT_EQ(settings.getOrCreateString("token", make), "first");
    EXPECT_EQ(made, 1);
    EXPECT_EQ(settings.getInt("port"), 50000);
}

TEST_F(IniSettingsTest, GetOrCreateStoresNothingWhenMakeThrows) {
    EXPECT_THROW(settings.getOrCreateString("token", []() -> std::string { throw Error("no randomness"); }),
                 Error);
    EXPECT_EQ(settings.getString("token"), std::nullopt);
}

TEST_F(IniSettingsTest, ConcurrentWritersLoseNoKeys) {
    constexpr int kThreads = 8;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([this, i] {
            IniSettings own(file);
            own.setInt("key" + std::to_string(i), i);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(settings.getInt("key" + std::to_string(i)), i);
}

TEST_F(IniSettingsTest, AStoreThatCantBeWrittenThrowsPlatformError) {
    // The store's folder would lie under a regular file: no user, root included, can make it.
    fs::create_directories(file.parent_path());
    const auto blocker = file.parent_path() / "a file";
    std::ofstream(blocker) << "not a folder";
    IniSettings blocked(blocker / "vantor-mcp" / "settings.ini");
    EXPECT_THROW(blocked.setString("token", "x"), Error);
    EXPECT_THROW(blocked.getOrCreateString("token", [] { return std::string("x"); }), Error);
}

TEST(DefaultSettingsFile, FollowsXDGConfigHome) {
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string config = savedConfig ? savedConfig : "", home = savedHome ? savedHome : "";

    ::setenv("HOME", "/home/ada", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(defaultSettingsFile(), fs::path("/tmp/cfg/vantor-mcp/settings.ini"));
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(defaultSettingsFile(), fs::path("/home/ada/.config/vantor-mcp/settings.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(defaultSettingsFile(), fs::path("/home/ada/.config/vantor-mcp/settings.ini"));

    savedConfig ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace platform
