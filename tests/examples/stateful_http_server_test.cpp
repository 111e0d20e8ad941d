// Drives the stateful HTTP server example with curl, as a user trying it would.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// What curl -i prints: the status, the headers (names in lower case) and the body.
struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
};

std::string shellQuoted(std::string_view text) {
    std::string result = "'";
    for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

Reply parseReply(const std::string& output) {
    Reply reply;
    const auto headerEnd = output.find("\r\n\r\n");
    if (headerEnd == std::string::npos) throw std::runtime_error("no HTTP reply: " + output);
    std::size_t lineStart = output.find("\r\n") + 2;
    reply.status = std::stoi(output.substr(output.find(' ') + 1, 3));
    while (lineStart < headerEnd) {
        const auto lineEnd = output.find("\r\n", lineStart);
        const std::string line = output.substr(lineStart, lineEnd - lineStart);
        const auto colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        lineStart = lineEnd + 2;
    }
    reply.body = output.substr(headerEnd + 4);
    return reply;
}

// Runs `command` through the shell with its output in a pipe; the process is ended when the
// object goes.
class Process {
public:
    explicit Process(const std::string& command) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        // exec, so that the process ended on destruction is the command itself.
        const std::string script = "exec " + command;
        char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()), nullptr};
        const int spawned = posix_spawn(&pid_, "/bin/sh", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            throw std::runtime_error("cannot run " + command);
        }
        output_ = fdopen(out[0], "r");
    }
    ~Process() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        fclose(output_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    FILE* output() const { return output_; }

private:
    pid_t pid_ = 0;
    FILE* output_ = nullptr;
};

// A curl run whose output is read as it comes: a stream reply, line by line. curl's own
// time limit bounds every read.
class CurlStream {
public:
    explicit CurlStream(const std::string& command) : curl_(command) {}

    // The next line without its line ending; absent once curl has ended.
    std::optional<std::string> line() {
        std::string text;
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, curl_.output())) {
            text += buffer;
            if (!text.empty() && text.back() == '\n') break;
        }
        if (text.empty()) return std::nullopt;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    // The next event's lines (up to the empty line that ends it), after the reply's headers.
    std::vector<std::string> event() {
        if (!headersSkipped_) {
            while (auto header = line()) {
                if (header->empty()) break;
            }
            headersSkipped_ = true;
        }
        std::vector<std::string> lines;
        while (auto next = line()) {
            if (next->empty()) break;
            lines.push_back(*next);
        }
        return lines;
    }

private:
    Process curl_;
    bool headersSkipped_ = false;
};

class StatefulHTTPServerExample : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<Process>(std::string(STATEFUL_HTTP_SERVER_PATH) + " 0");
        char line[256] = {};
        ASSERT_TRUE(std::fgets(line, sizeof line, server_->output())) << "the server printed no address";
        std::smatch match;
        const std::string text = line;
        ASSERT_TRUE(std::regex_search(text, match, std::regex(R"(http://127\.0\.0\.1:(\d+)/mcp)"))) << text;
        url_ = match[0];
    }

    std::string curlCommand(std::string_view method, const std::vector<std::string>& headers,
                            const std::optional<std::string>& body) const {
        std::string command = "curl -s -i -N --max-time 10 -X " + std::string(method) + " " + shellQuoted(url_);
        for (const auto& header : headers) command += " -H " + shellQuoted(header);
        if (body) command += " -H 'Content-Type: application/json' --data-binary " + shellQuoted(*body);
        return command;
    }

    Reply curl(std::string_view method, std::vector<std::string> headers, std::optional<std::string> body = {}) const {
        CurlStream run(curlCommand(method, headers, body));
        std::string output;
        while (auto line = run.line()) output += *line + (output.find("\r\n\r\n") == std::string::npos ? "\r\n" : "\n");
        if (output.find("\r\n\r\n") == std::string::npos) output += "\r\n";
        return parseReply(output);
    }

    Reply post(const std::string& body, const std::vector<std::string>& extraHeaders = {}) const {
        std::vector<std::string> headers{"Accept: application/json, text/event-stream"};
        headers.insert(headers.end(), extraHeaders.begin(), extraHeaders.end());
        return curl("POST", headers, body);
    }

    static std::string initialize(std::string_view version, int id = 1) {
        return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
               R"(,"method":"initialize","params":{"protocolVersion":")" + std::string(version) +
               R"(","capabilities":{},"clientInfo":{"name":"curl","version":"1"}}})";
    }

    // Opens a session and returns its id.
    std::string openSession() {
        const auto reply = post(initialize("2025-06-18"));
        EXPECT_EQ(reply.status, 200);
        return reply.headers.at("mcp-session-id");
    }

    std::string sessionHeader(const std::string& session) const { return "MCP-Session-Id: " + session; }

    std::unique_ptr<CurlStream> openStandingStream(const std::string& session,
                                                   std::optional<std::string> lastEventID = std::nullopt) {
        std::vector<std::string> headers{"Accept: text/event-stream", sessionHeader(session)};
        if (lastEventID) headers.push_back("Last-Event-ID: " + *lastEventID);
        return std::make_unique<CurlStream>(curlCommand("GET", headers, std::nullopt));
    }

    // callProgress: a call of the "progress" tool, with the progress token "progress-<id>"
    // unless withToken is false.
    Reply callProgress(const std::string& session, int id, int count, bool withToken = true) {
        const std::string meta = withToken ? R"("_meta":{"progressToken":"progress-)" + std::to_string(id) + R"("},)" : "";
        return post(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"tools/call","params":{)" + meta +
                        R"("name":"progress","arguments":{"count":)" + std::to_string(count) + "}}}",
                    {sessionHeader(session)});
    }

    std::unique_ptr<Process> server_;
    std::string url_;
};

TEST_F(StatefulHTTPServerExample, InitializeAnswersAnEventStreamWithThePrimingEventByVersion) {
    const auto current = post(initialize("2025-06-18"));
    EXPECT_EQ(current.status, 200);
    EXPECT_EQ(current.headers.at("content-type"), "text/event-stream");
    EXPECT_EQ(current.headers.at("cache-control"), "no-cache, no-transform");
    EXPECT_EQ(current.headers.at("connection"), "keep-alive");
    EXPECT_FALSE(current.headers.at("mcp-session-id").empty());
    EXPECT_TRUE(std::regex_match(current.body, std::regex("id: 1_1\ndata: \n\n"
                                                          "id: 1_2\nevent: message\ndata: \\{.*\"result\".*\\}\n\n")))
        << current.body;

    const auto old = post(initialize("2024-11-05"));
    EXPECT_EQ(old.status, 200);
    EXPECT_NE(old.headers.at("mcp-session-id"), current.headers.at("mcp-session-id"));
    EXPECT_TRUE(std::regex_match(old.body, std::regex("id: 1_1\nevent: message\ndata: \\{.*\"result\".*\\}\n\n")))
        << old.body;
}

TEST_F(StatefulHTTPServerExample, RefusesASecondInitializeInTheSession) {
    const auto session = openSession();
    const auto again = post(initialize("2025-06-18", 2), {sessionHeader(session)});
    EXPECT_EQ(again.status, 400);
    EXPECT_EQ(again.headers.at("mcp-session-id"), session);
    EXPECT_NE(again.body.find(R"("message":"Invalid Request: Bad Request: Session already initialized")"),
              std::string::npos)
        << again.body;
}

TEST_F(StatefulHTTPServerExample, CarriesTheServersMessagesOnOneStandingStream) {
    const auto session = openSession();
    const auto standing = openStandingStream(session);
    const auto priming = standing->event();
    ASSERT_EQ(priming.size(), 2u);
    EXPECT_TRUE(std::regex_match(priming[0], std::regex("id: _GET_stream_\\d+"))) << priming[0];
    EXPECT_EQ(priming[1], "data: ");

    const auto second = curl("GET", {"Accept: text/event-stream", sessionHeader(session)});
    EXPECT_EQ(second.status, 409);
    EXPECT_NE(second.body.find("Conflict: Only one SSE stream is allowed per session"), std::string::npos);

    // A call without a progress token gets no progress: the first notifications on the
    // stream are the next call's, under the token that call chose.
    const auto untracked = callProgress(session, 2, 2, false);
    EXPECT_NE(untracked.body.find(R"("text":"done")"), std::string::npos) << untracked.body;
    const auto called = callProgress(session, 3, 2);
    EXPECT_NE(called.body.find(R"("text":"done")"), std::string::npos) << called.body;
    for (int step = 1; step <= 2; ++step) {
        SCOPED_TRACE(step);
        const auto event = standing->event();
        ASSERT_EQ(event.size(), 3u);
        EXPECT_EQ(event[1], "event: message");
        EXPECT_NE(event[2].find(R"("method":"notifications/progress")"), std::string::npos) << event[2];
        EXPECT_NE(event[2].find(R"("progressToken":"progress-3")"), std::string::npos) << event[2];
    }
}

TEST_F(StatefulHTTPServerExample, ResumesByLastEventIDWithTheOriginalIDsThenANewPrimingEvent) {
    const auto session = openSession();
    const auto standing = openStandingStream(session);
    const std::string primingID = standing->event().at(0).substr(4);
    callProgress(session, 2, 2);
    const auto first = standing->event();
    const auto second = standing->event();

    const auto resumed = openStandingStream(session, primingID);
    EXPECT_EQ(resumed->event(), first);
    EXPECT_EQ(resumed->event(), second);
    const auto newPriming = resumed->event();
    ASSERT_EQ(newPriming.size(), 2u);
    EXPECT_NE(newPriming[0], "id: " + primingID);
    EXPECT_EQ(newPriming[1], "data: ");
    EXPECT_EQ(standing->line(), std::nullopt) << "the replaced stream has ended";

    const auto unknown = curl("GET", {"Accept: text/event-stream", sessionHeader(session), "Last-Event-ID: nope"});
    EXPECT_EQ(unknown.status, 400);
    EXPECT_NE(unknown.body.find("Invalid Last-Event-ID"), std::string::npos);
}

TEST_F(StatefulHTTPServerExample, DeleteEndsTheSessionAndItsStreams) {
    const auto session = openSession();
    const auto standing = openStandingStream(session);
    standing->event();

    const auto deleted = curl("DELETE", {sessionHeader(session)});
    EXPECT_EQ(deleted.status, 200);
    EXPECT_EQ(deleted.headers.at("mcp-session-id"), session);
    EXPECT_EQ(standing->line(), std::nullopt) << "the standing stream has ended";

    const Reply later[] = {
        callProgress(session, 3, 1),
        curl("GET", {"Accept: text/event-stream", sessionHeader(session)}),
        curl("DELETE", {sessionHeader(session)}),
    };
    for (const auto& reply : later) {
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.headers.at("mcp-session-id"), session);
        EXPECT_NE(reply.body.find("Not Found: Session has been terminated"), std::string::npos) << reply.body;
    }
}

}  // namespace
