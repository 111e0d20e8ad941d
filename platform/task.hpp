#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

namespace platform {

// Task<T>: a coroutine of the main thread that produces a T (or throws). It is lazy: its body
// starts when it is awaited (`co_await std::move(task)`) or handed to spawn(), and runs on
// the thread that resumes it, which for the program's flows is always the main thread. An
// exception leaving the body is rethrown to the awaiter.
//
// A Task owns its coroutine frame; destroying a Task that is suspended destroys the frame and
// everything in it (a pending sleep is then cancelled). Lambda coroutines must not capture by
// reference anything that dies before the task ends: the frame keeps a copy only of the
// parameters, not of the lambda.
template <class T = void>
class Task;

namespace detail {

struct TaskPromiseBase {
    struct FinalAwaiter {
        bool await_ready() const noexcept { return false; }
        template <class Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> self) const noexcept {
            return self.promise().continuation;
        }
        void await_resume() const noexcept {}
    };

    std::suspend_always initial_suspend() const noexcept { return {}; }
    FinalAwaiter final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { error = std::current_exception(); }

    void rethrowIfFailed() const {
        if (error) std::rethrow_exception(error);
    }

    std::coroutine_handle<> continuation = std::noop_coroutine();
    std::exception_ptr error;
};

template <class T>
struct TaskPromise : TaskPromiseBase {
    Task<T> get_return_object() noexcept;
    template <class U>
    void return_value(U&& result) {
        value.emplace(std::forward<U>(result));
    }
    T take() {
        rethrowIfFailed();
        return std::move(*value);
    }
    std::optional<T> value;
};

template <>
struct TaskPromise<void> : TaskPromiseBase {
    Task<void> get_return_object() noexcept;
    void return_void() const noexcept {}
    void take() const { rethrowIfFailed(); }
};

}  // namespace detail

template <class T>
class [[nodiscard]] Task {
public:
    using promise_type = detail::TaskPromise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() {
        if (handle_) handle_.destroy();
    }

    // Awaiting starts the body at once (on the awaiting thread) and resumes the awaiter when
    // the body ends, with its value or its exception.
    auto operator co_await() && noexcept {
        struct Awaiter {
            Handle handle;
            bool await_ready() const noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiter) noexcept {
                handle.promise().continuation = awaiter;
                return handle;
            }
            T await_resume() { return handle.promise().take(); }
        };
        return Awaiter{handle_};
    }

private:
    friend promise_type;
    explicit Task(Handle handle) : handle_(handle) {}
    Handle handle_;
};

namespace detail {

template <class T>
Task<T> TaskPromise<T>::get_return_object() noexcept {
    return Task<T>(std::coroutine_handle<TaskPromise<T>>::from_promise(*this));
}

inline Task<void> TaskPromise<void>::get_return_object() noexcept {
    return Task<void>(std::coroutine_handle<TaskPromise<void>>::from_promise(*this));
}

// Detached: an eager coroutine that destroys itself when it ends; the driver of spawn().
struct Detached {
    struct promise_type {
        Detached get_return_object() const noexcept { return {}; }
        std::suspend_never initial_suspend() const noexcept { return {}; }
        std::suspend_never final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        // The driver catches everything the task throws; only a throwing `done` gets here.
        [[noreturn]] void unhandled_exception() const noexcept { std::terminate(); }
    };
};

template <class T, class Done>
Detached drive(Task<T> task, Done done) {
    std::exception_ptr error;
    std::optional<T> value;
    try {
        value.emplace(co_await std::move(task));
    } catch (...) {
        error = std::current_exception();
    }
    done(error, std::move(value));
}

template <class Done>
Detached drive(Task<void> task, Done done) {
    std::exception_ptr error;
    try {
        co_await std::move(task);
    } catch (...) {
        error = std::current_exception();
    }
    done(error);
}

}  // namespace detail

// spawn: starts task at once on the calling thread and calls done when it ends:
// `done(std::exception_ptr error, std::optional<T> value)` for a Task<T>, with exactly one of
// the two set, or `done(std::exception_ptr error)` for a Task<void>, error null on success.
// done is called exactly once, unless the task is left suspended forever; it must not throw.
template <class T, class Done>
void spawn(Task<T> task, Done done) {
    detail::drive(std::move(task), std::move(done));
}

}  // namespace platform
