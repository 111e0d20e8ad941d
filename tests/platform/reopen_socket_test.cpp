#include "platform/reopen_socket.hpp"

#include "platform/error.hpp"

#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace platform {
namespace {

class ReopenSocketTest : public testing::Test {
protected:
    test_support::TemporaryFolder folder;
    std::filesystem::path file = reopenSocketFile(folder.path() / "vantor-mcp.lock");
};

TEST_F(ReopenSocketTest, ListenerCountsEachReopenByKind) {
    auto listener = ReopenListener::bind(file);
    EXPECT_EQ(listener.takeReopens(), Reopens{});
    EXPECT_TRUE(sendReopen(file));
    EXPECT_TRUE(sendReopen(file, ReopenKind::bridge));
    EXPECT_TRUE(sendReopen(file, ReopenKind::user));
    EXPECT_EQ(listener.takeReopens(), (Reopens{.byUser = 2, .byBridge = 1}));
    EXPECT_EQ(listener.takeReopens(), Reopens{});
}

TEST_F(ReopenSocketTest, NobodyListening) {
    EXPECT_FALSE(sendReopen(file));
    { auto listener = ReopenListener::bind(file); }
    // The listener removed its file when it went.
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(sendReopen(file));
}

TEST_F(ReopenSocketTest, ReplacesAFileLeftByAnInstanceThatEnded) {
    std::ofstream(file) << "stale";
    auto listener = ReopenListener::bind(file);
    EXPECT_TRUE(sendReopen(file));
    EXPECT_EQ(listener.takeReopens().byUser, 1);
}

TEST_F(ReopenSocketTest, PathTooLongForASocket) {
    const std::filesystem::path tooLong = folder.path() / std::string(200, 'x');
    EXPECT_THROW(ReopenListener::bind(tooLong), Error);
    EXPECT_FALSE(sendReopen(tooLong));
}

TEST(ReopenSocketFile, SitsBesideTheLock) {
    EXPECT_EQ(reopenSocketFile("/run/user/1000/vantor-mcp.lock"), "/run/user/1000/vantor-mcp.sock");
}

}  // namespace
}  // namespace platform
