// The server's requests and notifications to its client, over the in-memory pair.

#include "mcp/server/server.hpp"

#include "mcp/json/json.hpp"
#include "tests/mcp/server/noting_end.hpp"
#include "tests/mcp/server_harness.hpp"

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

class ServerClientRequests : public testing::ServerFixture {
protected:
    // The request the server wrote next, with its id replaced by "<ID>" after checking that
    // it is an upper-case random UUID string; the id goes to `id`.
    std::string nextRequest(std::string& id) {
        static const std::regex kIDPattern(R"(^\{"id":"([0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})\")");
        const std::string line = nextReply();
        std::smatch match;
        if (!std::regex_search(line, match, kIDPattern)) return "no UUID id: " + line;
        id = match[1];
        return std::regex_replace(line, kIDPattern, R"({"id":"<ID>")", std::regex_constants::format_first_only);
    }

    void answer(const std::string& id, std::string_view result) {
        send(R"({"jsonrpc":"2.0","id":")" + id + R"(","result":)" + std::string(result) + "}");
    }

    // Initializes the server as a client that declares `capabilities`.
    void initialize(std::string_view capabilities) {
        send(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":)" +
             std::string(capabilities) + R"(,"clientInfo":{"name":"tester","version":"1"}}})");
        nextReply();
    }

    template <class T>
    static std::string errorText(const std::shared_ptr<Outcome<T>>& outcome) {
        try {
            std::rethrow_exception(outcome->error);
        } catch (const std::exception& error) {
            return error.what();
        }
    }
};

TEST_F(ServerClientRequests, ListRootsSendsEmptyParamsAndReturnsTheRoots) {
    startServer();
    auto roots = start(server_->listRoots());
    std::string id;
    EXPECT_EQ(nextRequest(id), R"({"id":"<ID>","jsonrpc":"2.0","method":"roots/list","params":{}})");
    answer(id, R"({"roots":[{"uri":"file:///home/ada","name":"Home"}],"_meta":{"k":1}})");
    runUntil([&] { return roots->done; });
    ASSERT_FALSE(roots->error);
    EXPECT_EQ(*roots->value, (std::vector<Root>{{.uri = "file:///home/ada", .name = "Home"}}));
}

TEST_F(ServerClientRequests, WritesEachRequestAsExpected) {
    startServer();
    const Elicitation::RequestSchema schema{.properties = {{"name", ValueObject{{"type", "string"}}}}};
    auto sampling = [&]() -> asio::awaitable<void> {
        std::vector<Sampling::Message> messages(1, Sampling::Message::user("Hi"));
        co_await server_->requestSampling(std::move(messages),
                                          Sampling::ModelPreferences{.costPriority = UnitInterval(0.5)}, "Be brief.",
                                          Sampling::ContextInclusion::thisServer, std::nullopt, 50);
    };
    auto formWithoutMode = [&]() -> asio::awaitable<void> { co_await server_->requestElicitation("Who?", schema); };
    auto formWithMode = [&]() -> asio::awaitable<void> {
        co_await server_->requestElicitation("Who?", schema, Elicitation::Mode::form);
    };
    auto url = [&]() -> asio::awaitable<void> {
        co_await server_->requestElicitation("Sign in", "https://example.com/a/b", "e-1");
    };
    const struct {
        std::string_view name;
        std::function<asio::awaitable<void>()> call;
        std::string_view request, result;
    } kCases[] = {
        {"sampling", sampling,
         R"({"id":"<ID>","jsonrpc":"2.0","method":"sampling/createMessage","params":{"includeContext":"thisServer","maxTokens":50,"messages":[{"content":{"text":"Hi","type":"text"},"role":"user"}],"modelPreferences":{"costPriority":0.5},"systemPrompt":"Be brief."}})",
         R"({"model":"m","role":"assistant","content":{"type":"text","text":"Hello"}})"},
        {"form elicitation without mode", formWithoutMode,
         R"({"id":"<ID>","jsonrpc":"2.0","method":"elicitation/create","params":{"message":"Who?","requestedSchema":{"properties":{"name":{"type":"string"}},"type":"object"}}})",
         R"({"action":"decline"})"},
        {"form elicitation with mode", formWithMode,
         R"({"id":"<ID>","jsonrpc":"2.0","method":"elicitation/create","params":{"message":"Who?","mode":"form","requestedSchema":{"properties":{"name":{"type":"string"}},"type":"object"}}})",
         R"({"action":"cancel"})"},
        {"url elicitation", url,
         R"({"id":"<ID>","jsonrpc":"2.0","method":"elicitation/create","params":{"elicitationId":"e-1","message":"Sign in","mode":"url","url":"https://example.com/a/b"}})",
         R"({"action":"accept"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto outcome = start(c.call());
        std::string id;
        EXPECT_EQ(nextRequest(id), c.request);
        answer(id, c.result);
        runUntil([&] { return outcome->done; });
        EXPECT_FALSE(outcome->error);
    }
}

TEST_F(ServerClientRequests, TellsTheTransportWhichRequestIsBeingServedWhenGivenIt) {
    std::vector<std::string> noted;
    startServer({}, [&noted](std::shared_ptr<InMemoryTransport> end) {
        return std::make_shared<testing::NotingEnd>(std::move(end), noted);
    });
    const ID served(5);
    const Elicitation::RequestSchema schema{.properties = {{"name", ValueObject{{"type", "string"}}}}};
    auto progress = [&]() -> asio::awaitable<void> {
        auto message = makeMessage<ProgressNotification>({.progressToken = ProgressToken("t"), .progress = 1});
        co_await server_->notify(std::move(message), served);
    };
    auto sampling = [&]() -> asio::awaitable<void> {
        std::vector<Sampling::Message> messages(1, Sampling::Message::user("Hi"));
        co_await server_->requestSampling(std::move(messages), std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                          10, std::nullopt, std::nullopt, served);
    };
    auto form = [&]() -> asio::awaitable<void> {
        co_await server_->requestElicitation("Who?", schema, std::nullopt, std::nullopt, served);
    };
    auto url = [&]() -> asio::awaitable<void> {
        co_await server_->requestElicitation("Sign in", "https://example.com", "e-1", std::nullopt, served);
    };
    auto roots = [&]() -> asio::awaitable<void> { co_await server_->listRoots(served); };
    auto ping = [&]() -> asio::awaitable<void> { co_await server_->sendRequest(makeRequest<Ping>(ID("p"), {}), served); };
    auto logWith = [&]() -> asio::awaitable<void> { co_await server_->log(LogLevel::info, std::nullopt, Value("x"), served); };
    auto logWithout = [&]() -> asio::awaitable<void> { co_await server_->log(LogLevel::info, std::nullopt, Value("x")); };
    const struct {
        std::string_view name;
        std::function<asio::awaitable<void>()> call;
        std::string_view note;
    } kCases[] = {
        {"progress", progress, "about 5"}, {"sampling", sampling, "about 5"}, {"form elicitation", form, "about 5"},
        {"url elicitation", url, "about 5"}, {"roots", roots, "about 5"},     {"ping", ping, "about 5"},
        {"log", logWith, "about 5"},        {"log of no request", logWithout, "-"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        noted.clear();
        // The requests stay unanswered; stopping the server ends them.
        start(c.call());
        nextReply();
        EXPECT_EQ(noted, std::vector<std::string>{std::string(c.note)});
    }
}

TEST_F(ServerClientRequests, ConcurrentRequestsGetTheirOwnAnswers) {
    startServer();
    auto first = start(server_->requestSampling({Sampling::Message::user("one")}, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 10));
    std::string firstID;
    nextRequest(firstID);
    auto second = start(server_->requestSampling({Sampling::Message::user("two")}, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 10));
    std::string secondID;
    nextRequest(secondID);
    answer(secondID, R"({"model":"second","role":"assistant","content":{"type":"text","text":"2"}})");
    answer(firstID, R"({"model":"first","role":"assistant","content":{"type":"text","text":"1"}})");
    runUntil([&] { return first->done && second->done; });
    ASSERT_FALSE(first->error);
    ASSERT_FALSE(second->error);
    EXPECT_EQ(first->value->model, "first");
    EXPECT_EQ(second->value->content, Sampling::Message::Content("2"));
    EXPECT_NE(firstID, secondID);
}

TEST_F(ServerClientRequests, StopWhileWaitingFailsTheCaller) {
    startServer();
    auto roots = start(server_->listRoots());
    std::string id;
    nextRequest(id);
    await(server_->stop());
    runUntil([&] { return roots->done; });
    EXPECT_EQ(errorText(roots), "Internal error: Server disconnected");
}

TEST_F(ServerClientRequests, AServerNeverStartedSendsNothing) {
    makeServer();
    auto roots = [&]() -> asio::awaitable<void> { co_await server_->listRoots(); };
    auto sampling = [&]() -> asio::awaitable<void> {
        co_await server_->requestSampling(std::vector<Sampling::Message>(), std::nullopt, std::nullopt, std::nullopt, std::nullopt, 1);
    };
    auto elicitation = [&]() -> asio::awaitable<void> { co_await server_->requestElicitation("m", "u", "e"); };
    auto log = [&]() -> asio::awaitable<void> { co_await server_->log(LogLevel::info, std::nullopt, Value("x")); };
    const std::function<asio::awaitable<void>()> kCalls[] = {roots, sampling, elicitation, log};
    for (const auto& call : kCalls) {
        auto outcome = start(call());
        runUntil([&] { return outcome->done; });
        EXPECT_EQ(errorText(outcome), "Internal error: Server connection not initialized");
    }
    EXPECT_EQ(server_->requestsAwaitingClient(), 0u);
}

TEST_F(ServerClientRequests, StrictModeAsksOnlyForWhatTheClientDeclared) {
    makeServer(Server::Configuration::strictConfiguration());
    startServer();
    auto early = start(server_->listRoots());
    runUntil([&] { return early->done; });
    EXPECT_EQ(errorText(early), "Method not found: Client capabilities not initialized");

    initialize(R"({"roots":{}})");
    auto sampling = start(server_->requestSampling({Sampling::Message::user("Hi")}, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 5));
    runUntil([&] { return sampling->done; });
    EXPECT_EQ(errorText(sampling), "Method not found: Sampling is not supported by the client");
    auto elicitation = start(server_->requestElicitation("m", "u", "e"));
    runUntil([&] { return elicitation->done; });
    EXPECT_EQ(errorText(elicitation), "Method not found: Elicitation is not supported by the client");
    EXPECT_EQ(server_->requestsAwaitingClient(), 0u);

    // Nothing was written for the refused requests: the roots request comes next.
    auto roots = start(server_->listRoots());
    std::string id;
    EXPECT_EQ(nextRequest(id), R"({"id":"<ID>","jsonrpc":"2.0","method":"roots/list","params":{}})");
    answer(id, R"({"roots":[]})");
    runUntil([&] { return roots->done; });
    EXPECT_FALSE(roots->error);
}

TEST_F(ServerClientRequests, ANonStrictServerAsksWhateverTheClientDeclared) {
    startServer();
    initialize(R"({"roots":{}})");
    auto sampling = start(server_->requestSampling({Sampling::Message::user("Hi")}, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 5));
    std::string id;
    EXPECT_EQ(nextRequest(id).substr(0, 65), R"({"id":"<ID>","jsonrpc":"2.0","method":"sampling/createMessage","p)");
}

TEST_F(ServerClientRequests, LogWritesOneNotificationLine) {
    makeServer(Server::Configuration::strictConfiguration());
    startServer();
    await(server_->log(LogLevel::warning, "disk", "Nearly full: /var"));
    EXPECT_EQ(nextReply(),
              R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":"Nearly full: /var","level":"warning","logger":"disk"}})");
    await(server_->log(LogLevel::debug, std::nullopt, Value()));
    EXPECT_EQ(nextReply(), R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":null,"level":"debug"}})");
    await(server_->log(LogLevel::emergency, std::nullopt, Root{.uri = "file:///"}));
    EXPECT_EQ(nextReply(), R"({"jsonrpc":"2.0","method":"notifications/message","params":{"data":{"uri":"file:///"},"level":"emergency"}})");
}

// A caller that gives up on its request must not leave the request behind: without the
// cancellation hook the entry stayed pending until the client answered or the server
// stopped, however many callers had gone.
TEST_F(ServerClientRequests, ACancelledCallerLeavesNoPendingRequest) {
    startServer();
    asio::cancellation_signal signal;
    auto outcome = std::make_shared<Outcome<std::vector<Root>>>();
    asio::co_spawn(io_, server_->listRoots(),
                   asio::bind_cancellation_slot(signal.slot(), [outcome](std::exception_ptr error, std::vector<Root>) {
                       outcome->error = error;
                       outcome->done = true;
                   }));
    std::string id;
    nextRequest(id);
    EXPECT_EQ(server_->requestsAwaitingClient(), 1u);

    signal.emit(asio::cancellation_type::terminal);
    runUntil([&] { return outcome->done; });
    ASSERT_TRUE(outcome->error);
    try {
        std::rethrow_exception(outcome->error);
    } catch (const boost::system::system_error& error) {
        EXPECT_EQ(error.code(), asio::error::operation_aborted);
    }
    EXPECT_EQ(server_->requestsAwaitingClient(), 0u);

    // The late answer finds no caller and is dropped.
    answer(id, R"({"roots":[]})");
    EXPECT_EQ(repliesBeforeSentinel(), std::vector<std::string>{});
}

}  // namespace
}  // namespace mcp
