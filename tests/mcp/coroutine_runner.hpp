#pragma once

// Runs one test coroutine on a fresh io_context, with a deadline, and rethrows what it throws.

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>

#include <chrono>
#include <exception>
#include <stdexcept>

namespace mcp::testing {

template <class Body>
void runCoroutine(Body body, std::chrono::seconds deadline = std::chrono::seconds(10)) {
    boost::asio::io_context io;
    bool finished = false;
    std::exception_ptr failure;
    boost::asio::co_spawn(io, std::move(body), [&](std::exception_ptr error) {
        finished = true;
        failure = error;
    });
    io.run_for(deadline);
    if (!finished) throw std::runtime_error("the test coroutine did not finish before its deadline");
    if (failure) std::rethrow_exception(failure);
}

}  // namespace mcp::testing
