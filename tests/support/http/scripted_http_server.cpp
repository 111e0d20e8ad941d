#include "tests/support/http/scripted_http_server.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <list>
#include <thread>

namespace test_support {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using asio::ip::tcp;

namespace {

constexpr auto kAwait = asio::as_tuple(asio::use_awaitable);

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    for (const auto& [field, value] : headers) {
        if (sameName(field, name)) return value;
    }
    return std::nullopt;
}

void ChunkFeed::push(std::string chunk) { add({Item::Kind::chunk, std::move(chunk)}); }
void ChunkFeed::finish() { add({Item::Kind::finish, {}}); }
void ChunkFeed::drop() { add({Item::Kind::drop, {}}); }

void ChunkFeed::add(Item item) {
    std::function<void()> wake;
    {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
        wake = std::exchange(wake_, nullptr);
    }
    if (wake) wake();
}

std::optional<ChunkFeed::Item> ChunkFeed::take(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    if (items_.empty()) {
        wake_ = std::move(wake);
        return std::nullopt;
    }
    Item item = std::move(items_.front());
    items_.pop_front();
    return item;
}

struct ScriptedHTTPServer::State : std::enable_shared_from_this<State> {
    State(Script script_, std::shared_ptr<asio::ssl::context> tls_)
        : script(std::move(script_)), tls(std::move(tls_)), acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {}

    Script script;
    std::shared_ptr<asio::ssl::context> tls;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;

    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    std::vector<RecordedRequest> requests;
    int connections = 0;

    void record(RecordedRequest request) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(std::move(request));
        }
        arrived.notify_all();
    }

    asio::awaitable<void> accept() {
        while (true) {
            auto [error, socket] = co_await acceptor.async_accept(kAwait);
            if (error) co_return;
            int number = 0;
            {
                std::lock_guard lock(mutex);
                number = ++connections;
            }
            if (tls) {
                asio::co_spawn(io, serveTLS(std::move(socket), number), asio::detached);
            } else {
                asio::co_spawn(io, serveTCP(std::move(socket), number), asio::detached);
            }
        }
    }

    asio::awaitable<void> serveTLS(tcp::socket socket, int number) {
        asio::ssl::stream<tcp::socket> stream(std::move(socket), *tls);
        auto [error] = co_await stream.async_handshake(asio::ssl::stream_base::server, kAwait);
        if (error) co_return;
        co_await serve(stream, number);
    }

    asio::awaitable<void> serveTCP(tcp::socket socket, int number) { co_await serve(socket, number); }

    template <class Stream>
    asio::awaitable<void> serve(Stream& stream, int number) {
        boost::beast::flat_buffer buffer;
        while (true) {
            http::request<http::string_body> message;
            auto [error, read] = co_await http::async_read(stream, buffer, message, kAwait);
            if (error) co_return;
            RecordedRequest request{std::string(message.method_string()), std::string(message.target()), {},
                                    message.body(), number, std::chrono::steady_clock::now()};
            for (const auto& field : message) request.headers.emplace_back(field.name_string(), field.value());
            record(request);
            const Reply reply = script(request);
            if (!co_await respond(stream, reply, message.version())) co_return;
            if (reply.close || !message.keep_alive()) co_return;
        }
    }

    asio::awaitable<void> sleep(std::chrono::milliseconds duration) {
        if (duration.count() <= 0) co_return;
        asio::steady_timer timer(io, duration);
        co_await timer.async_wait(kAwait);
    }

    template <class Stream>
    asio::awaitable<bool> respond(Stream& stream, const Reply& reply, unsigned version) {
        co_await sleep(reply.delay);
        if (reply.raw) {
            auto [error, written] = co_await asio::async_write(stream, asio::buffer(*reply.raw), kAwait);
            co_return !error;
        }
        const bool chunked = reply.feed || !reply.chunks.empty();
        http::response<http::string_body> message(static_cast<http::status>(reply.status), version);
        for (const auto& [name, value] : reply.headers) message.insert(name, value);
        if (reply.close) message.keep_alive(false);
        if (!chunked) {
            message.body() = reply.body;
            message.prepare_payload();
            auto [error, written] = co_await http::async_write(stream, message, kAwait);
            co_return !error;
        }
        message.chunked(true);
        http::response_serializer<http::string_body> serializer(message);
        if (auto [error, written] = co_await http::async_write_header(stream, serializer, kAwait); error) {
            co_return false;
        }
        for (const auto& chunk : reply.chunks) {
            co_await sleep(reply.chunkDelay);
            if (auto [error, written] = co_await asio::async_write(stream, http::make_chunk(asio::buffer(chunk)), kAwait);
                error) {
                co_return false;
            }
        }
        if (reply.feed) {
            // The feed may wake a reply that has ended: it holds the timer only weakly.
            const auto wake = std::make_shared<asio::steady_timer>(io, asio::steady_timer::time_point::max());
            while (true) {
                auto item = reply.feed->take([this, weak = std::weak_ptr<asio::steady_timer>(wake)] {
                    asio::post(io, [weak] {
                        if (auto timer = weak.lock()) timer->cancel();
                    });
                });
                if (!item) {
                    wake->expires_at(asio::steady_timer::time_point::max());
                    co_await wake->async_wait(kAwait);
                    continue;
                }
                if (item->kind == ChunkFeed::Item::Kind::drop) co_return false;
                if (item->kind == ChunkFeed::Item::Kind::finish) break;
                if (auto [error, written] =
                        co_await asio::async_write(stream, http::make_chunk(asio::buffer(item->chunk)), kAwait);
                    error) {
                    co_return false;
                }
            }
        }
        auto [error, written] = co_await asio::async_write(stream, http::make_chunk_last(), kAwait);
        co_return !error;
    }
};

ScriptedHTTPServer::ScriptedHTTPServer(Script script, std::shared_ptr<asio::ssl::context> tls)
    : state_(std::make_shared<State>(std::move(script), std::move(tls))) {
    port_ = state_->acceptor.local_endpoint().port();
    asio::co_spawn(state_->io, state_->accept(), asio::detached);
    state_->thread = std::thread([state = state_] { state->io.run(); });
}

ScriptedHTTPServer::~ScriptedHTTPServer() {
    state_->io.stop();
    state_->thread.join();
}

std::string ScriptedHTTPServer::url(std::string_view path) const {
    return std::string(state_->tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> ScriptedHTTPServer::requests() const {
    std::lock_guard lock(state_->mutex);
    return state_->requests;
}

int ScriptedHTTPServer::connectionsAccepted() const {
    std::lock_guard lock(state_->mutex);
    return state_->connections;
}

bool ScriptedHTTPServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->arrived.wait_for(lock, timeout, [&] { return state_->requests.size() >= count; });
}

}  // namespace test_support
