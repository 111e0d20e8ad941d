#include "app/bridge/deadline_socket.hpp"

#include <boost/asio/error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

namespace app {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Peer: a loopback port that accepts one connection when asked to listen, and then reads all
// it is sent, or nothing at all.
class Peer {
public:
    explicit Peer(bool listening) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (listening) ::listen(fd_, 1);
    }
    ~Peer() {
        if (reader_.joinable()) reader_.join();
        if (connection_ >= 0) ::close(connection_);
        ::close(fd_);
    }

    boost::asio::ip::tcp::endpoint endpoint() const {
        return {boost::asio::ip::address_v4::loopback(), port_};
    }

    // readAll: accepts, then reads until the other side closes; received() tells how much.
    void readAll() {
        reader_ = std::thread([this] {
            connection_ = ::accept(fd_, nullptr, nullptr);
            char buffer[65536];
            for (ssize_t count = 0; (count = ::recv(connection_, buffer, sizeof buffer, 0)) > 0;) {
                received_ += static_cast<std::size_t>(count);
            }
        });
    }
    std::size_t received() {
        reader_.join();
        return received_;
    }

private:
    int fd_;
    int connection_ = -1;
    unsigned short port_ = 0;
    std::thread reader_;
    std::size_t received_ = 0;
};

// More than the socket buffers on both sides hold.
const std::string kLarge(32 * 1024 * 1024, 'x');

TEST(DeadlineSocket, NothingListeningIsAConnectionRefused) {
    Peer peer(false);
    DeadlineSocket socket(Clock::now() + 5s);
    boost::system::error_code error;
    socket.connect(peer.endpoint(), error);
    if (!error) boost::asio::write(socket, boost::asio::buffer(std::string("x")), error);
    EXPECT_EQ(error, boost::asio::error::connection_refused) << error.message();
}

TEST(DeadlineSocket, AWriteLongerThanTheBuffersWaitsForTheReader) {
    Peer peer(true);
    peer.readAll();
    std::size_t written = 0;
    {
        DeadlineSocket socket(Clock::now() + 30s);
        boost::system::error_code error;
        socket.connect(peer.endpoint(), error);
        ASSERT_FALSE(error) << error.message();
        written = boost::asio::write(socket, boost::asio::buffer(kLarge), error);
        EXPECT_FALSE(error) << error.message();
    }
    EXPECT_EQ(written, kLarge.size());
    EXPECT_EQ(peer.received(), kLarge.size());
}

// A host that stops reading, or never answers, must not hold the bridge past the deadline.
TEST(DeadlineSocket, StepsEndAtTheDeadline) {
    Peer peer(true);
    DeadlineSocket socket(Clock::now() + 300ms);
    boost::system::error_code error;
    socket.connect(peer.endpoint(), error);
    ASSERT_FALSE(error) << error.message();
    boost::asio::write(socket, boost::asio::buffer(kLarge), error);
    EXPECT_EQ(error, boost::beast::error::timeout) << "writing: " << error.message();

    char buffer[16];
    EXPECT_EQ(socket.read_some(boost::asio::buffer(buffer), error), 0u);
    EXPECT_EQ(error, boost::beast::error::timeout) << "reading: " << error.message();
}

}  // namespace
}  // namespace app
