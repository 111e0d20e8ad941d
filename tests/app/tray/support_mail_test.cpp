#include "app/tray/support_mail.hpp"

#include "app/host/setting_keys.hpp"

#include "platform/fake/memory_settings.hpp"

#include <boost/url/decode_view.hpp>
#include <boost/url/parse.hpp>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace app {
namespace {

const SupportFacts kFacts{"1.2", "34", "Debian GNU/Linux 12 (bookworm)", "ThinkPad X1", "en-GB"};

std::string decoded(std::string_view encoded) {
    return std::string(boost::urls::decode_view(boost::urls::pct_string_view(encoded)).begin(),
                       boost::urls::decode_view(boost::urls::pct_string_view(encoded)).end());
}

// The link taken apart: its target and the decoded subject and body, in the order written.
struct MailLink {
    std::string target, subject, body;
};

MailLink parts(const std::string& link) {
    const auto uri = boost::urls::parse_uri(link);
    EXPECT_TRUE(uri.has_value()) << link;
    EXPECT_EQ(uri->scheme(), "mailto");
    MailLink parts{std::string(uri->encoded_path()), {}, {}};
    const std::string_view query = uri->encoded_query();
    const auto amp = query.find('&');
    EXPECT_NE(amp, std::string_view::npos);
    const auto subject = query.substr(0, amp);
    const auto body = query.substr(amp + 1);
    EXPECT_EQ(subject.substr(0, 8), "subject=");
    EXPECT_EQ(body.substr(0, 5), "body=");
    parts.subject = decoded(subject.substr(8));
    parts.body = decoded(body.substr(5));
    return parts;
}

class SupportMailTest : public testing::Test {
protected:
    HostStatus host;
    platform::MemorySettings settings;
};

TEST_F(SupportMailTest, LinkDecodesBackToTheSubjectAndTheDiagnostics) {
    host.apply({.generation = 1, .state = ListenerReport::State::ready});
    host.lastClient().set("Claude Code");
    settings.setInt(setting::kPort, 50000);

    const auto link = parts(composeSupportMail(kFacts, host, settings));
    EXPECT_EQ(link.target, kSupportAddress);
    EXPECT_EQ(link.subject, "Vantor MCP 1.2 (34)");
    EXPECT_EQ(link.body,
              "\n\n\n\u2014\n"
              "Vantor MCP 1.2 (34)\n"
              "Debian GNU/Linux 12 (bookworm), ThinkPad X1\n"
              "Server: running on port 50000\n"
              "Last AI app: Claude Code\n"
              "Language: en-GB");
}

// Characters a query gives a meaning of its own must reach the mail program as they are.
TEST_F(SupportMailTest, EveryTextArrivesUnchanged) {
    const struct {
        const char* name;
        std::string client;
    } kCases[] = {
        {"spaces and line feeds", "My AI\nsecond line"},
        {"plus", "C++ helper+1"},
        {"ampersand and equals", "Tom & Jerry=1&body=evil"},
        {"hash and percent", "#1 100% sure"},
        {"non-ASCII", "Ünïcødé 智能 \u2014 🙂"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        host.lastClient().set(row.client);
        const auto raw = composeSupportMail(kFacts, host, settings);
        const auto query = raw.substr(raw.find('?') + 1);
        EXPECT_EQ(query.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%&="),
                  std::string::npos)
            << raw;
        EXPECT_NE(parts(raw).body.find("\nLast AI app: " + row.client + "\n"), std::string::npos);
    }
}

TEST_F(SupportMailTest, DiagnosticLinesForEachHostState) {
    const struct {
        const char* name;
        bool running;
        std::optional<std::string> problem;
        std::optional<std::int64_t> port;
        std::optional<std::string> client;
        const char* server;
        const char* lastApp;
    } kCases[] = {
        {"default port", true, std::nullopt, std::nullopt, std::nullopt, "Server: running on port 47293",
         "Last AI app: none since launch"},
        {"port zero", true, std::nullopt, 0, "Cursor", "Server: running on port 47293", "Last AI app: Cursor"},
        {"stopped", false, std::nullopt, 50000, std::nullopt, "Server: not running", "Last AI app: none since launch"},
        {"failed", false, "Port 47293: Address already in use", std::nullopt, std::nullopt,
         "Server: not running (Port 47293: Address already in use)", "Last AI app: none since launch"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        HostStatus status;
        platform::MemorySettings store;
        if (row.running) status.apply({.generation = 1, .state = ListenerReport::State::ready});
        if (row.problem) status.apply({.generation = 1, .state = ListenerReport::State::failed, .problem = *row.problem});
        if (row.port) store.setInt(setting::kPort, *row.port);
        if (row.client) status.lastClient().set(*row.client);
        const auto lines = supportBody(kFacts, status, store);
        EXPECT_EQ(lines[2], row.server);
        EXPECT_EQ(lines[3], row.lastApp);
    }
}

TEST_F(SupportMailTest, MissingFactsShowAsQuestionMarksButAnUnknownModelIsLeftOut) {
    const SupportFacts facts{std::nullopt, "", "Debian GNU/Linux 12 (bookworm)", "", std::nullopt};
    const auto lines = supportBody(facts, host, settings);
    EXPECT_EQ(versionAndBuild(facts), "? (?)");
    EXPECT_EQ(lines[0], "Vantor MCP ? (?)");
    EXPECT_EQ(lines[1], "Debian GNU/Linux 12 (bookworm)") << "no bare \"?\" for the model";
    EXPECT_EQ(lines[4], "Language: ?");
    EXPECT_EQ(parts(composeSupportMail(facts, host, settings)).subject, "Vantor MCP ? (?)");
}

TEST(SystemNameAndVersion, ReadsTheOSReleaseFields) {
    const struct {
        const char* name;
        std::string_view text;
        const char* want;
    } kCases[] = {
        {"debian", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n"
                   "VERSION=\"12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"pretty name only", "PRETTY_NAME='Arch Linux'\nID=arch\n", "Arch Linux"},
        {"name only", "NAME=Gentoo\n", "Gentoo"},
        {"escapes and comments", "# comment\nNAME=\"Say \\\"Hi\\\"\"\nVERSION=\"1 $x\"\n", "Say \"Hi\" 1 $x"},
        {"empty values", "NAME=\"\"\nVERSION=\nPRETTY_NAME=\"\"\n", "Linux"},
        {"nothing", "", "Linux"},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(systemNameAndVersion(row.text), row.want);
    }
}

TEST(MachineModel, ReadsTheProductName) {
    const struct {
        const char* name;
        std::string_view text;
        const char* want;
    } kCases[] = {
        {"plain", "Standard PC (Q35 + ICH9, 2009)\n", "Standard PC (Q35 + ICH9, 2009)"},
        {"zero byte", std::string_view("Model\0junk", 10), "Model"},
        {"invalid UTF-8", "Bad \xff byte\n", "Bad \xEF\xBF\xBD byte"},
        {"empty", "\n", ""},
        {"only blanks", "   ", ""},
        {"nothing before the zero byte", std::string_view("\0Model", 6), ""},
    };
    for (const auto& row : kCases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(machineModel(row.text), row.want);
    }
}

}  // namespace
}  // namespace app
