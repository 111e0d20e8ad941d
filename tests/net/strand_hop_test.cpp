#include "net/strand_hop.hpp"

#include "tests/net/net_test_fixture.hpp"

#include <gtest/gtest.h>

#include <boost/asio/post.hpp>

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

}  // namespace
}  // namespace net
