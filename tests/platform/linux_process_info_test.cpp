#include "platform/linux_process_info.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace platform {
namespace {

TEST(LinuxProcessInfo, DescribesThisProcess) {
    LinuxProcessInfo info;
    EXPECT_EQ(info.ownPID(), ::getpid());
    const std::filesystem::path path = info.executablePath();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_core_test");
    EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
    EXPECT_EQ(info.appVersion(), "1.0.0");
}

}  // namespace
}  // namespace platform
