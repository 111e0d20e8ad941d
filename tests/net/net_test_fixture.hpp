#pragma once

// NetTestFixture: runs client coroutines on the test's own io_context, each with a deadline.

#include "net/error.hpp"
#include "net/http_client.hpp"
#include "tests/support/outcome.hpp"

#include <gtest/gtest.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/url/parse.hpp>

#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace net::testing {

class NetTestFixture : public ::testing::Test {
protected:
    template <class T>
    using Outcome = test_support::Outcome<T>;

    // Spawns `task`; its outcome fills in as io_ runs.
    template <class T>
    std::shared_ptr<Outcome<T>> start(boost::asio::awaitable<T> task) {
        return test_support::startTask(io_.get_executor(), std::move(task));
    }

    template <class T>
    T await(boost::asio::awaitable<T> task) {
        auto outcome = start(std::move(task));
        runUntil([&] { return outcome->done; });
        if (outcome->error) std::rethrow_exception(outcome->error);
        return std::move(*outcome->value);
    }

    // The error code `task` fails with; fails the test when it succeeds.
    template <class T>
    boost::system::error_code failure(boost::asio::awaitable<T> task) {
        try {
            await(std::move(task));
        } catch (const boost::system::system_error& error) {
            return error.code();
        }
        ADD_FAILURE() << "the request succeeded";
        return {};
    }

    void runUntil(const std::function<bool()>& condition,
                  std::chrono::steady_clock::duration timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (io_.stopped()) io_.restart();
            if (std::chrono::steady_clock::now() >= deadline) throw std::runtime_error("deadline passed");
            io_.run_one_for(std::chrono::milliseconds(20));
        }
    }

    static HTTPRequest request(const std::string& url, std::string method = "GET", std::string body = {}) {
        HTTPRequest made;
        made.method = std::move(method);
        made.url = boost::urls::parse_uri(url).value();
        made.body = std::move(body);
        made.timeout = std::chrono::seconds(10);
        return made;
    }

    boost::asio::io_context io_;
};

// Answers every name in its table with 127.0.0.1 and records the names it was asked.
class LoopbackResolver final : public Resolver {
public:
    explicit LoopbackResolver(std::vector<std::string> names) : names_(std::move(names)) {}

    boost::asio::awaitable<std::vector<boost::asio::ip::tcp::endpoint>> resolve(std::string host,
                                                                               std::uint16_t port) override {
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(host);
        }
        for (const auto& name : names_) {
            if (name == host) co_return std::vector{boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port)};
        }
        throw boost::system::system_error(boost::asio::error::host_not_found);
    }

    std::vector<std::string> asked() const {
        std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    std::vector<std::string> names_;
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
};

}  // namespace net::testing
