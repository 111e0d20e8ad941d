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

#include <fstream>
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
    const std::string stored = "f00dfeedf00dfeedf00dfeedf00dfeedf00dfeedf00dfeed";
    settings.setString(setting::kToken, stored);
    platform::FixedRandom random;
    EXPECT_EQ(accessToken(settings, random), stored);
    EXPECT_EQ(random.calls(), 0);
}

// A token that no client could send, or that the program never makes, would lock every
// client out, the program's own bridge included: a new one takes its place.
TEST(AccessToken, StoredTokenOfAnotherFormIsReplaced) {
    constexpr struct {
        const char* name;
        const char* stored;
    } kCases[] = {
        {"empty", ""},
        {"too short", "f00dfeed"},
        {"one digit too many", "f00dfeedf00dfeedf00dfeedf00dfeedf00dfeedf00dfeed0"},
        {"upper case", "F00DFEEDF00DFEEDF00DFEEDF00DFEEDF00DFEEDF00DFEED"},
        {"not hexadecimal", "g00dfeedf00dfeedf00dfeedf00dfeedf00dfeedf00dfeed"},
        {"a blank inside", "f00dfeedf00dfeedf00dfeed f00dfeedf00dfeedf00dfee"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        platform::MemorySettings settings;
        settings.setString(setting::kToken, c.stored);
        platform::FixedRandom random;
        const auto token = accessToken(settings, random);
        EXPECT_THAT(token, MatchesRegex(kTokenPattern));
        EXPECT_EQ(settings.getString(setting::kToken), token) << "stored in its place";
        EXPECT_EQ(accessToken(settings, random), token);
        EXPECT_EQ(random.calls(), 1);
    }
}

TEST(AccessToken, EmptyTokenInTheFileIsReplacedOnce) {
    test_support::TemporaryFolder folder;
    const auto file = folder.path() / "settings.ini";
    std::ofstream(file) << "; mine\ntoken=\nport=50000\n";
    platform::IniSettings settings(file);
    platform::OpenSSLRandom random;
    const auto token = accessToken(settings, random);
    EXPECT_THAT(token, MatchesRegex(kTokenPattern));
    platform::IniSettings again(file);
    EXPECT_EQ(accessToken(again, random), token);
    EXPECT_EQ(again.getString(setting::kPort), "50000");
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
        {"empty", "", "http://127.0.0.1:47293/mcp"},
        {"a port", "50000", "http://127.0.0.1:50000/mcp"},
        {"the highest port", "65535", "http://127.0.0.1:65535/mcp"},
    };
    for (const auto& c : kCases) {
        platform::MemorySettings settings;
        if (c.stored) settings.setString(setting::kPort, c.stored);
        EXPECT_EQ(endpointURL(settings), c.want) << c.name;
    }
}

// Anything else stored is refused with the problem text the host shows, never read as the
// default or as a port number wrapped around: the token would go to another program.
TEST(EndpointURL, RefusesEveryOtherPort) {
    constexpr const char* kStored[] = {"99999", "65536", "-1", "47517x", "fast", " 80", "+80", "0x50", "1e3",
                                       "99999999999999999999999"};
    for (const auto* stored : kStored) {
        SCOPED_TRACE(stored);
        platform::MemorySettings settings;
        settings.setString(setting::kPort, stored);
        const std::string problem = std::string(stored) + " is not a valid port (use 1–65535).";
        try {
            endpointURL(settings);
            ADD_FAILURE() << "no error";
        } catch (const InvalidPort& error) {
            EXPECT_EQ(error.what(), problem);
        }
        EXPECT_THROW(configuredPort(settings), platform::Error) << "callers that guard the store guard this too";
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
