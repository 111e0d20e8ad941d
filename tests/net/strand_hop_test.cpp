#include "net/strand_hop.hpp"

#include "tests/net/net_test_fixture.hpp"

#include <gtest/gtest.h>

#include <boost/asio/bind_cancellation_slot.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/system/system_error.hpp>

#include <chrono>
#include <functional>
#include <memory>

#include <stdexcept>
#include <string>

namespace net {
namespace {

namespace asio = boost::asio;

class StrandHop : public testing::NetTestFixture {
protected:
    // What onStrand gives back when called from a coroutine on `caller`, with a body that
    // notes whether it ran on strand_ and answers "done".
    std::string hopFrom(const asio::any_io_executor& caller) {
        auto outcome = std::make_shared<std::string>();
        auto hop = [this, outcome]() -> asio::awaitable<void> {
            auto body = [this]() -> asio::awaitable<std::string> {
                bodyOnStrand_ = strand_.running_in_this_thread();
                co_return "done";
            };
            *outcome = co_await onStrand(strand_, std::move(body));
        };
        asio::co_spawn(caller, std::move(hop), [](std::exception_ptr error) {
            if (error) std::rethrow_exception(error);
        });
        runUntil([&] { return !outcome->empty(); });
        return *outcome;
    }

    Strand strand_ = asio::make_strand(io_.get_executor());
    bool bodyOnStrand_ = false;
};

TEST_F(StrandHop, AStrandGivenAsExecutorIsKeptAndAnyOtherGetsANewStrand) {
    const asio::any_io_executor given(strand_);
    EXPECT_EQ(asio::any_io_executor(strandOf(given)), given);
    const auto made = strandOf(io_.get_executor());
    EXPECT_NE(asio::any_io_executor(made), asio::any_io_executor(io_.get_executor()));
    EXPECT_NE(made, strandOf(io_.get_executor())) << "each plain executor call makes a strand of its own";
}

TEST_F(StrandHop, RunsTheBodyOnTheStrandFromAnyCaller) {
    const struct {
        std::string_view name;
        asio::any_io_executor caller;
    } kCases[] = {
        {"from a plain executor", io_.get_executor()},
        {"from another strand", asio::make_strand(io_.get_executor())},
        {"from the strand itself", strand_},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        bodyOnStrand_ = false;
        EXPECT_EQ(hopFrom(c.caller), "done");
        EXPECT_TRUE(bodyOnStrand_);
    }
}

TEST_F(StrandHop, PassesWhatTheBodyThrowsToTheCaller) {
    for (const asio::any_io_executor& caller : {asio::any_io_executor(io_.get_executor()), asio::any_io_executor(strand_)}) {
        auto hop = [this]() -> asio::awaitable<void> {
            auto body = []() -> asio::awaitable<void> {
                throw std::runtime_error("refused");
                co_return;
            };
            co_await onStrand(strand_, std::move(body));
        };
        auto outcome = std::make_shared<std::string>();
        asio::co_spawn(caller, std::move(hop), [outcome](std::exception_ptr error) {
            try {
                if (error) std::rethrow_exception(error);
                *outcome = "no error";
            } catch (const std::runtime_error& thrown) {
                *outcome = thrown.what();
            }
        });
        runUntil([&] { return !outcome->empty(); });
        EXPECT_EQ(*outcome, "refused");
    }
}


// How a coroutine started with a cancellation slot ended: "done", or its error's text.
std::shared_ptr<std::string> startCancellable(const asio::any_io_executor& executor, asio::cancellation_signal& signal,
                                              std::function<asio::awaitable<void>()> task) {
    auto outcome = std::make_shared<std::string>();
    asio::co_spawn(executor, std::move(task),
                   asio::bind_cancellation_slot(signal.slot(), [outcome](std::exception_ptr error) {
                       try {
                           if (error) std::rethrow_exception(error);
                           *outcome = "done";
                       } catch (const boost::system::system_error& thrown) {
                           *outcome = thrown.code() == asio::error::operation_aborted ? "aborted" : thrown.what();
                       }
                   }));
    return outcome;
}

TEST_F(StrandHop, ACancelledCallerStopsTheBodyOnItsStrand) {
    asio::cancellation_signal signal;
    bool stoppedOnStrand = false;
    bool waiting = false;
    const auto outcome = startCancellable(io_.get_executor(), signal, [&]() -> asio::awaitable<void> {
        auto body = [&]() -> asio::awaitable<void> {
            asio::steady_timer timer(strand_, std::chrono::hours(1));
            waiting = true;
            try {
                co_await timer.async_wait(asio::use_awaitable);
            } catch (const boost::system::system_error&) {
                stoppedOnStrand = strand_.running_in_this_thread();
                throw;
            }
        };
        co_await onStrand(strand_, std::move(body));
    });
    runUntil([&] { return waiting; });
    signal.emit(asio::cancellation_type::terminal);
    runUntil([&] { return !outcome->empty(); });
    EXPECT_EQ(*outcome, "aborted");
    EXPECT_TRUE(stoppedOnStrand);
}

// A cancellation that arrives after the body has ended, while its end is on the way back to a
// caller on another strand, must not reach into the caller's cancellation state once the
// caller has moved on: it once read the released memory of the hop's cancellation handler.
TEST_F(StrandHop, ACancellationAsTheBodyEndsTouchesNothingTheCallerReleased) {
    asio::cancellation_signal signal;
    const Strand caller = asio::make_strand(io_.get_executor());
    bool cancellationCarried = false;
    const auto outcome = startCancellable(caller, signal, [&]() -> asio::awaitable<void> {
        auto body = [&]() -> asio::awaitable<void> {
            // Runs after this body's end is queued for the caller, before the caller resumes.
            asio::post(io_.get_executor(), [&] {
                signal.emit(asio::cancellation_type::terminal);
                asio::post(strand_, [&] { cancellationCarried = true; });
            });
            co_return;
        };
        co_await onStrand(strand_, std::move(body));
        // Releases the caller's cancellation state, and with it what the hop put there.
        co_await asio::this_coro::reset_cancellation_state();
    });
    runUntil([&] { return !outcome->empty() && cancellationCarried; });
    EXPECT_EQ(*outcome, "done");
}

}  // namespace
}  // namespace net
