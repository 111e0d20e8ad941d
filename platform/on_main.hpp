#pragma once

#include "platform/scheduler.hpp"
#include "platform/task.hpp"

#include <boost/asio/associated_executor.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace platform {

namespace detail {

// Carries one onMain call across the two threads: the Asio completion handler, a guard that
// keeps the caller's io_context alive while the main thread works, and the work itself.
template <class T, class Handler>
struct MainCall {
    using Executor = boost::asio::associated_executor_t<Handler>;

    MainCall(Handler h, std::function<Task<T>()> w)
        : handler(std::move(h)),
          guard(boost::asio::get_associated_executor(handler)),
          work(std::move(w)) {}

    // Hands the outcome back to the caller's executor; the handler is moved out, so the
    // caller resumes exactly once.
    template <class... Outcome>
    void complete(Outcome&&... outcome) {
        auto executor = guard.get_executor();
        boost::asio::post(executor, [h = std::move(handler), ... o = std::forward<Outcome>(outcome)]() mutable {
            std::move(h)(std::move(o)...);
        });
        guard.reset();
    }

    Handler handler;
    boost::asio::executor_work_guard<Executor> guard;
    std::function<Task<T>()> work;
};

// Runs the work inside a task of its own, so that a work function that throws before its
// task starts reaches the caller like an exception thrown by the task.
template <class T>
Task<T> runWork(std::function<Task<T>()>& work) {
    if constexpr (std::is_void_v<T>) {
        co_await work();
    } else {
        co_return co_await work();
    }
}

template <class T>
using MainOutcome = std::conditional_t<std::is_void_v<T>, void(std::exception_ptr),
                                       void(std::exception_ptr, std::optional<T>)>;

template <class T>
auto awaitMain(Scheduler& main, std::function<Task<T>()> work) {
    return boost::asio::async_initiate<const boost::asio::use_awaitable_t<>&, MainOutcome<T>>(
        [&main](auto handler, std::function<Task<T>()> w) {
            using Call = MainCall<T, decltype(handler)>;
            auto call = std::make_shared<Call>(std::move(handler), std::move(w));
            main.post([call] {
                spawn(runWork<T>(call->work), [call](std::exception_ptr error, auto&&... value) {
                    call->complete(error, std::move(value)...);
                });
            });
        },
        boost::asio::use_awaitable, std::move(work));
}

}  // namespace detail

// onMain: runs work on the main thread and lets an Asio coroutine await its outcome:
//
//     auto work = [this, name]() -> Task<Outcome> { co_return co_await lookFlow(name); };
//     Outcome outcome = co_await onMain<Outcome>(main, work);
//
// The work is called, and its task started, on the main thread, on a later turn of its loop.
// When the task ends, the awaiting coroutine resumes once on its own executor (its strand
// stays its strand) with the value, or the task's exception is rethrown there. The work
// function is kept alive until its task ends, so a lambda's captures stay valid for the whole
// task. The caller's io_context doesn't run out of work meanwhile.
//
// If the main loop ends before the work runs or finishes, the awaiting coroutine never
// resumes; that happens only while the program shuts down.
//
// g++ 12 mis-copies a lambda with captures (or any aggregate temporary) written inside a
// co_await expression and frees its members twice: name the lambda first, then pass it.
template <class T>
boost::asio::awaitable<T> onMain(Scheduler& main, std::function<Task<T>()> work) {
    if constexpr (std::is_void_v<T>) {
        co_await detail::awaitMain<void>(main, std::move(work));
    } else {
        std::optional<T> value = co_await detail::awaitMain<T>(main, std::move(work));
        co_return std::move(*value);
    }
}

}  // namespace platform
