#include "platform/posix_self_launcher.hpp"

#include "platform/error.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;

// The report a started shell writes about itself, once it is complete.
std::string waitForReport(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find("end\n") != std::string::npos) return text.str();
        std::this_thread::sleep_for(20ms);
    }
    return "no report";
}

// Blocks and ignores signals in this process for the length of a test, as a client that
// starts the bridge may do.
class ScopedSignals {
public:
    ScopedSignals() {
        sigset_t blocked;
        ::sigemptyset(&blocked);
        ::sigaddset(&blocked, SIGUSR1);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &oldMask_);
        oldUsr2_ = std::signal(SIGUSR2, SIG_IGN);
    }
    ~ScopedSignals() {
        std::signal(SIGUSR2, oldUsr2_);
        ::pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    }

private:
    sigset_t oldMask_{};
    void (*oldUsr2_)(int) = nullptr;
};

TEST(PosixSelfLauncher, StartsADetachedProcessWithNothingOfOurs) {
    test_support::TemporaryFolder folder;
    const auto report = folder.path() / "report";
    // A descriptor of ours without close-on-exec: the started process must not get it.
    int ours[2];
    ASSERT_EQ(::pipe(ours), 0);
    ScopedSignals signals;

    const std::string script =
        "exec 9>'" + report.string() + "'\n"
        "echo pid $$ >&9\n"
        "echo session $(cut -d' ' -f6 /proc/$$/stat) >&9\n"
        "echo stdin $(readlink /proc/$$/fd/0) >&9\n"
        "echo stdout $(readlink /proc/$$/fd/1) >&9\n"
        "echo stderr $(readlink /proc/$$/fd/2) >&9\n"
        // Listed by the shell itself: a listing from another process could catch the shell
        // holding the ends of a pipe it is setting up. The shell reads the folder through a
        // descriptor of its own, the lowest free one, 3.
        "for fd in /proc/$$/fd/*; do printf '%s ' \"${fd##*/}\" >&9; done\n"
        "echo >&9\n"
        "echo cwd $(pwd) >&9\n"
        // Read by the shell itself: a forked grep could catch the shell in the moment it blocks
        // every signal while it waits for that very child.
        "while read -r key value; do case $key in SigBlk:|SigIgn:) printf '%s\\t%s\\n' "
        "\"$key\" \"$value\" >&9;; esac; done < /proc/$$/status\n"
        "echo end >&9\n";
    PosixSelfLauncher launcher("/bin/sh", {"sh", "-c", script});
    launcher.launchDetached();
    const auto text = waitForReport(report);
    ::close(ours[0]);
    ::close(ours[1]);

    std::istringstream lines(text);
    std::string key;
    std::string pid;
    lines >> key >> pid;
    ASSERT_EQ(key, "pid") << text;
    EXPECT_NE(text.find("session " + pid + "\n"), std::string::npos) << "a session of its own\n" << text;
    EXPECT_NE(text.find("stdin /dev/null\n"), std::string::npos) << text;
    EXPECT_NE(text.find("stdout /dev/null\n"), std::string::npos) << text;
    EXPECT_NE(text.find("stderr /dev/null\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n0 1 2 3 9 \n"), std::string::npos) << "only its own descriptors\n" << text;
    EXPECT_NE(text.find("cwd /\n"), std::string::npos) << text;
    EXPECT_NE(text.find("SigBlk:\t0000000000000000\n"), std::string::npos) << text;
    // The C library keeps its own two real-time signals (32 and 33) ignored across a spawn and
    // installs their handlers again in the new process; the ordinary ones are at their defaults.
    const auto ignored = text.find("SigIgn:\t");
    ASSERT_NE(ignored, std::string::npos) << text;
    EXPECT_EQ(std::stoull(text.substr(ignored + 8, 16), nullptr, 16) & 0x7fffffffULL, 0u) << text;
}

TEST(PosixSelfLauncher, StartsTheProgramWithTheEnvironmentGiven) {
    test_support::TemporaryFolder folder;
    const auto report = folder.path() / "report";
    PosixSelfLauncher launcher("/bin/sh", {"sh", "-c", R"(echo "$DISPLAY ${HOME-no home}" >"$REPORT"; echo end >>"$REPORT")"},
                               [&] {
                                   return Environment{{"DISPLAY", ":7"}, {"REPORT", report.string()}};
                               });
    launcher.launchDetached();
    EXPECT_EQ(waitForReport(report), ":7 no home\nend\n");
}

TEST(PosixSelfLauncher, EnvironmentThatRefusesIsTheError) {
    int asked = 0;
    PosixSelfLauncher launcher("/nonexistent/vantor-mcp", {"vantor-mcp"}, [&]() -> Environment {
        ++asked;
        throw Error("no desktop session");
    });
    try {
        launcher.launchDetached();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "no desktop session");
    }
    EXPECT_EQ(asked, 1);
}

TEST(PosixSelfLauncher, MissingExecutableThrows) {
    PosixSelfLauncher launcher("/nonexistent/vantor-mcp", {"vantor-mcp"});
    try {
        launcher.launchDetached();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Can't start vantor-mcp: No such file or directory");
    }
}

}  // namespace
}  // namespace platform
