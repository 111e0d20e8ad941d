#include "tests/support/http/tcp_relay.hpp"

#include <boost/asio/as_tuple.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <atomic>
#include <future>
#include <list>
#include <thread>

namespace test_support {

namespace asio = boost::asio;
using asio::ip::tcp;

namespace {
constexpr auto kAwait = asio::as_tuple(asio::use_awaitable);
}

struct TCPRelay::State {
    explicit State(std::uint16_t upstream_)
        : upstream(upstream_), acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {}

    std::uint16_t upstream;
    asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;
    std::list<std::shared_ptr<tcp::socket>> sockets;
    std::atomic<int> accepted = 0;

    asio::awaitable<void> accept() {
        while (true) {
            auto [error, socket] = co_await acceptor.async_accept(kAwait);
            if (error) co_return;
            ++accepted;
            auto downstream = std::make_shared<tcp::socket>(std::move(socket));
            auto upstreamSocket = std::make_shared<tcp::socket>(io);
            auto [failed] = co_await upstreamSocket->async_connect(
                tcp::endpoint(asio::ip::make_address("127.0.0.1"), upstream), kAwait);
            if (failed) continue;
            sockets.push_back(downstream);
            sockets.push_back(upstreamSocket);
            asio::co_spawn(io, pipe(downstream, upstreamSocket), asio::detached);
            asio::co_spawn(io, pipe(upstreamSocket, downstream), asio::detached);
        }
    }

    static asio::awaitable<void> pipe(std::shared_ptr<tcp::socket> from, std::shared_ptr<tcp::socket> to) {
        std::array<char, 16 * 1024> buffer;
        while (true) {
            auto [error, read] = co_await from->async_read_some(asio::buffer(buffer), kAwait);
            if (error) break;
            auto [failed, written] = co_await asio::async_write(*to, asio::buffer(buffer.data(), read), kAwait);
            if (failed) break;
        }
        boost::system::error_code ignored;
        to->shutdown(tcp::socket::shutdown_send, ignored);
    }
};

TCPRelay::TCPRelay(std::uint16_t upstreamPort) : state_(std::make_shared<State>(upstreamPort)) {
    port_ = state_->acceptor.local_endpoint().port();
    asio::co_spawn(state_->io, state_->accept(), asio::detached);
    state_->thread = std::thread([state = state_] { state->io.run(); });
}

TCPRelay::~TCPRelay() {
    state_->io.stop();
    state_->thread.join();
}

void TCPRelay::dropAll() {
    std::promise<void> done;
    asio::post(state_->io, [this, &done] {
        for (auto& socket : state_->sockets) {
            boost::system::error_code ignored;
            socket->close(ignored);
        }
        state_->sockets.clear();
        done.set_value();
    });
    done.get_future().wait();
}

int TCPRelay::connectionsAccepted() const { return state_->accepted; }

}  // namespace test_support
