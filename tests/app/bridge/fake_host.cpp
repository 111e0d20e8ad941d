#include "tests/app/bridge/fake_host.hpp"

#include "mcp/json/json.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <future>
#include <iostream>
#include <memory>

namespace test_support {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void reportFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "fake host: " << failure.what() << '\n';
    }
}

HostAnswer jsonAnswer(int status, const mcp::Value& body) {
    HostAnswer answer;
    answer.status = status;
    answer.body = mcp::writeJSON(body);
    return answer;
}

}  // namespace

std::optional<std::string> HostRequest::header(const std::string& lowerCaseName) const {
    const auto found = headers.find(lowerCaseName);
    if (found == headers.end()) return std::nullopt;
    return found->second;
}

HostAnswer answerLikeTheHost(const HostRequest& request) {
    const mcp::Value badRequest = mcp::Value::Object{
        {"jsonrpc", "2.0"},
        {"error", mcp::Value::Object{{"code", -32700}, {"message", "Parse error: Invalid JSON"}}},
        {"id", nullptr},
    };
    if (request.body.empty()) return jsonAnswer(400, badRequest);
    mcp::Value message;
    try {
        message = mcp::parseJSON(request.body);
    } catch (const mcp::DecodingError&) {
        return jsonAnswer(400, badRequest);
    }
    const auto* object = message.objectValue();
    const auto* method = object ? object->find("method") : nullptr;
    if (!method) return jsonAnswer(400, badRequest);
    const auto* id = object->find("id");
    if (!id) {
        HostAnswer accepted;
        accepted.status = 202;
        return accepted;
    }
    mcp::Value::Object result;
    if (*method == mcp::Value("initialize")) result.insertOrAssign("protocolVersion", "2025-06-18");
    return jsonAnswer(200, mcp::Value::Object{{"jsonrpc", "2.0"}, {"id", *id}, {"result", std::move(result)}});
}

FakeHost::FakeHost(bool listening) : acceptor_(context_) {
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
    acceptor_.open(endpoint.protocol());
    acceptor_.bind(endpoint);
    port_ = acceptor_.local_endpoint().port();
    thread_ = std::thread([this] {
        auto guard = asio::make_work_guard(context_);
        context_.run();
    });
    if (listening) listen();
}

FakeHost::~FakeHost() {
    context_.stop();
    thread_.join();
}

std::string FakeHost::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/mcp";
}

void FakeHost::setResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

std::vector<HostRequest> FakeHost::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<HostRequest> FakeHost::posts() const {
    auto all = requests();
    std::erase_if(all, [](const HostRequest& request) { return request.body.empty(); });
    return all;
}

HostAnswer FakeHost::answer(const HostRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    return responder_(request);
}

void FakeHost::listen() {
    // The acceptor belongs to the host's thread once that runs.
    std::promise<void> listening;
    asio::post(context_, [this, &listening] {
        acceptor_.listen();
        asio::co_spawn(context_, acceptLoop(), reportFailure);
        listening.set_value();
    });
    listening.get_future().wait();
}

asio::awaitable<void> FakeHost::acceptLoop() {
    for (;;) {
        auto [error, socket] = co_await acceptor_.async_accept(asio::as_tuple(asio::use_awaitable));
        if (error) co_return;
        asio::co_spawn(context_, serve(std::move(socket)), reportFailure);
    }
}

asio::awaitable<void> FakeHost::serve(tcp::socket socket) {
    const auto token = asio::as_tuple(asio::use_awaitable);
    beast::flat_buffer buffer;
    http::request<http::string_body> received;
    auto [readError, read] = co_await http::async_read(socket, buffer, received, token);
    if (readError) co_return;
    HostRequest request{std::string(received.method_string()), std::string(received.target()), {}, received.body()};
    for (const auto& field : received) {
        request.headers[lowerCase(std::string(field.name_string()))] = std::string(field.value());
    }
    const auto reply = answer(request);
    switch (reply.kind) {
    case HostAnswer::Kind::http: {
        http::response<http::string_body> response(static_cast<http::status>(reply.status), 11);
        response.set(http::field::content_type, "application/json");
        if (reply.launch) response.set(reply.launchHeaderName, *reply.launch);
        response.set(http::field::connection, "close");
        response.body() = reply.body;
        response.prepare_payload();
        co_await http::async_write(socket, response, token);
        break;
    }
    case HostAnswer::Kind::silence: {
        asio::steady_timer forever(socket.get_executor(), std::chrono::hours(1));
        co_await forever.async_wait(token);
        break;
    }
    case HostAnswer::Kind::hangUp:
        break;
    case HostAnswer::Kind::garbage:
        co_await asio::async_write(socket, asio::buffer(std::string_view("SSH-2.0-nothing\r\n")), token);
        break;
    }
    beast::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
}

}  // namespace test_support
