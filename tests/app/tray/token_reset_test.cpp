#include "app/tray/token_reset.hpp"

#include "app/host/connection_settings.hpp"
#include "app/tray/menu_model.hpp"
#include "app/host/serve_request.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tools/tool_dispatcher.hpp"

#include "tests/app/host/host_fixture.hpp"

#include "platform/error.hpp"
#include "platform/fake/fake_desktop.hpp"
#include "platform/fake/fixed_process_info.hpp"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace app {
namespace {

using namespace app::testing;

// The panel over a real host on loopback, its tokens checked by the real request server.
class TokenResetTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        host = startServing(context);
        ASSERT_TRUE(status.running().get());
        panel.setClient(ClientSetup::otherHTTP);
        // The fixed source's first 24 bytes are the stored token's: move past them.
        makeAccessToken(random);
    }

    void restartHost() {
        ++restarts;
        restarting.emplace(boost::asio::co_spawn(pool, host->start(), boost::asio::use_future));
    }

    // Lets the restart asked for finish, as the main loop would.
    void finishRestart() {
        ASSERT_TRUE(restarting);
        pump(std::move(*restarting));
        restarting.reset();
    }

    std::string statusWith(std::string_view token) {
        return reply(post(kToolsList, "Authorization: Bearer " + std::string(token))).statusLine;
    }

    NoToolDispatcher tools;
    ServingContext context{main, status, settings, tools, "1.0"};
    std::shared_ptr<MCPHost> host;
    platform::Observed<std::optional<WindowShare::Sharing>> sharing;
    platform::FakeClipboard clipboard;
    platform::FixedProcessInfo process{"/usr/bin/vantor-mcp"};
    MenuModel panel{{main, status, sharing, [] {}, settings, clipboard, process, random,
                     []() -> platform::Task<bool> { co_return false; },
                     [](auto) { return std::string(); }}};
    int restarts = 0;
    std::optional<std::future<void>> restarting;
    TokenReset reset{{panel, settings, random, [this] { restartHost(); }}};
};

TEST_F(TokenResetTest, ResetRefusesTheOldTokenAndAcceptsTheNewOne) {
    panel.copyClientSettings();
    ASSERT_TRUE(panel.copied());
    int notices = 0;
    const auto following = reset.subscribe([&] { ++notices; });

    reset.askReset();
    EXPECT_TRUE(reset.confirming());
    reset.resetToken();

    // The panel changes before the host listens again.
    EXPECT_FALSE(reset.confirming());
    EXPECT_TRUE(panel.tokenWasReset());
    EXPECT_EQ(panel.copied(), std::nullopt);
    EXPECT_EQ(notices, 2);
    const auto token = settings.getString(setting::kToken).value_or("");
    EXPECT_NE(token, kToken);
    EXPECT_EQ(token.size(), 48U);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos);

    finishRestart();
    EXPECT_EQ(restarts, 1);
    EXPECT_TRUE(status.running().get());
    EXPECT_EQ(statusWith(kToken), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(statusWith(token), "HTTP/1.1 200 OK");
    // The settings copied now carry the new token.
    EXPECT_NE(panel.clientSettings().find(token), std::string::npos);
}

TEST_F(TokenResetTest, CancelChangesNothing) {
    reset.askReset();
    reset.cancelReset();

    EXPECT_FALSE(reset.confirming());
    EXPECT_FALSE(panel.tokenWasReset());
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(settings.getString(setting::kToken), kToken);
    EXPECT_EQ(statusWith(kToken), "HTTP/1.1 200 OK");
}

TEST_F(TokenResetTest, EachResetStoresAFreshTokenAndTheNoteStays) {
    std::vector<std::string> tokens;
    for (int round = 0; round < 2; ++round) {
        reset.askReset();
        reset.resetToken();
        finishRestart();
        tokens.push_back(settings.getString(setting::kToken).value_or(""));
        EXPECT_TRUE(panel.tokenWasReset());
    }
    EXPECT_NE(tokens[0], tokens[1]);
    EXPECT_EQ(restarts, 2);
    EXPECT_EQ(statusWith(tokens[0]), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(statusWith(tokens[1]), "HTTP/1.1 200 OK");
}

TEST_F(TokenResetTest, AFailingRandomSourceKeepsTheOldToken) {
    reset.askReset();
    random.failNext();
    EXPECT_THROW(reset.resetToken(), platform::Error);
    EXPECT_EQ(settings.getString(setting::kToken), kToken);
    EXPECT_EQ(restarts, 0);
    EXPECT_FALSE(panel.tokenWasReset());
    EXPECT_TRUE(reset.confirming());
}

TEST_F(TokenResetTest, ShownOnlyForTheHTTPClientAndTheConfirmationIsKept) {
    EXPECT_TRUE(reset.shown());
    reset.askReset();
    panel.setClient(ClientSetup::cursor);
    EXPECT_FALSE(reset.shown());
    panel.setClient(ClientSetup::otherHTTP);
    EXPECT_TRUE(reset.shown());
    EXPECT_TRUE(reset.confirming());
}

}  // namespace
}  // namespace app
