#include "app/host/connection_settings.hpp"

#include "app/host/setting_keys.hpp"
#include "platform/error.hpp"
#include "platform/fake/fixed_random.hpp"
#include "platform/fake/memory_settings.hpp"
#include "platform/ini_settings.hpp"
#include "platform/openssl_random.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

namespace app {
namespace {

using ::testing::MatchesRegex;

constexpr const char* kTokenPattern = "[0-9a-f]{48}";

TEST(MakeAccessToken, WritesEachRandomByteAsTwoLowerCaseHexDigits) {
    platform::FixedRandom counting;  // bytes 0, 1, ..., 23
    EXPECT_EQ(makeAccessToken(counting), "000102030405060708090a0b0c0d0e0f1011121314151617");
    platform::FixedRandom high({0xab, 0xcd, 0xef, 0xf0});
    EXPECT_EQ(makeAccessToken(high), "abcdeff0abcdeff0abcdeff0abcdeff0abcdeff0abcdeff0");
}

TEST(MakeAccessToken, RealTokensDiffer) {
    platform::OpenSSLRandom random;
    const auto first = makeAccessToken(random);
    EXPECT_THAT(first, MatchesRegex(kTokenPattern));
    EXPECT_NE(makeAccessToken(random), first);
}

TEST(AccessToken, MadeAndStoredOnTheFirstReadOnly) {
    platform::MemorySettings settings;
    platform::FixedRandom random;
    const auto token = accessToken(settings, random);
    EXPECT_THAT(token, MatchesRegex(kTokenPattern));
    EXPECT_EQ(settings.getString(setting::kToken), token);
    EXPECT_EQ(accessToken(settings, random), token);
    EXPECT_EQ(accessToken(settings, random), token);
    EXPECT_EQ(random.calls(), 1);
    EXPECT_EQ(settings.writes(), 1);
}

TEST(AccessToken, StoredTokenIsReturnedUnchanged) {
    platform::MemorySettings settings;
    settings.setString(setting::kToken, "Chosen-By-Hand");
    platform::FixedRandom random;
    EXPECT_EQ(accessToken(settings, random), "Chosen-By-Hand");
    EXPECT_EQ(random.calls(), 0);
}

TEST(AccessToken, FailingRandomSourceStoresNothing) {
    platform::MemorySettings settings;
    platform::FixedRandom random;
    random.failNext();
    EXPECT_THROW(accessToken(settings, random), platform::Error);
    EXPECT_EQ(settings.writes(), 0);
    EXPECT_THAT(accessToken(settings, random), MatchesRegex(kTokenPattern));
}

TEST(AccessToken, PersistsAcrossStartsInAPrivateFile) {
    test_support::TemporaryFolder temp;
    const auto file = temp.path() / "vantor-mcp" / "settings.ini";
    platform::OpenSSLRandom random;
    std::string token;
    {
        platform::IniSettings settings(file);
        token = accessToken(settings, random);
    }
    platform::IniSettings restarted(file);
    EXPECT_EQ(accessToken(restarted, random), token);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Reads a child's whole report from a pipe.
std::string readAll(int fd) {
    std::string text;
    char buffer[256];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (count < 0) {
            if (errno == EINTR) continue;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

// The program and a bridge it launched (or two bridges) often start together on a fresh
// machine. Several processes are released at the same instant to read the token first;
// every one of them must end up with the one token that is stored.
TEST(AccessToken, ProcessesReadingFirstTogetherGetOneToken) {
    constexpr int kRounds = 20;
    constexpr int kProcesses = 4;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test_support::TemporaryFolder temp;
        const auto file = temp.path() / "vantor-mcp" / "settings.ini";

        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<std::pair<pid_t, int>> children;
        for (int k = 0; k < kProcesses; ++k) {
            int report[2];
            ASSERT_EQ(::pipe(report), 0);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(gate[1]);
                ::close(report[0]);
                char ignored;
                while (::read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
                }
                try {
                    platform::IniSettings settings(file);
                    platform::OpenSSLRandom random;
                    const auto token = accessToken(settings, random);
                    const bool written = ::write(report[1], token.data(), token.size()) ==
                                         static_cast<ssize_t>(token.size());
                    ::_exit(written ? 0 : 2);
                } catch (...) {
                    ::_exit(1);
                }
            }
            ::close(report[1]);
            children.emplace_back(pid, report[0]);
        }
        ::close(gate[0]);
        ::close(gate[1]);  // releases every child at once

        std::set<std::string> tokens;
        for (const auto& [pid, fd] : children) {
            tokens.insert(readAll(fd));
            ::close(fd);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        platform::IniSettings settings(file);
        ASSERT_EQ(tokens.size(), 1u) << "different processes got different tokens";
        EXPECT_THAT(*tokens.begin(), MatchesRegex(kTokenPattern));
        EXPECT_EQ(settings.getString(setting::kToken), *tokens.begin());
    }
}

TEST(EndpointURL, UsesTheStoredPortOrTheDefault) {
    constexpr struct {
        const char* name;
        const char* stored;  // nullptr: nothing stored
        const char* want;
    } kCases[] = {
        {"nothing stored", nullptr, "http://127.0.0.1:47293/mcp"},
        {"zero", "0", "http://127.0.0.1:47293/mcp"},
        {"a port", "50000", "http://127.0.0.1:50000/mcp"},
        {"not a number", "fast", "http://127.0.0.1:47293/mcp"},
    };
    for (const auto& c : kCases) {
        platform::MemorySettings settings;
        if (c.stored) settings.setString(setting::kPort, c.stored);
        EXPECT_EQ(endpointURL(settings), c.want) << c.name;
    }
}

TEST(EndpointURL, IsReadAnewOnEveryCall) {
    platform::MemorySettings settings;
    EXPECT_EQ(endpointURL(settings), "http://127.0.0.1:47293/mcp");
    settings.setInt(setting::kPort, 50001);
    EXPECT_EQ(endpointURL(settings), "http://127.0.0.1:50001/mcp");
}

}  // namespace
}  // namespace app
