#pragma once

namespace logging {
class Logger;
}

namespace logging::detail {

// Binds a logger to the calling thread for the life of the object: Logger::current() returns it
// until the object is destroyed, which puts the previous binding back (also during stack
// unwinding), so bindings nest. `logger` must outlive the binding.
class ScopedLoggerBinding {
public:
    explicit ScopedLoggerBinding(const Logger& logger) noexcept;
    ~ScopedLoggerBinding();
    ScopedLoggerBinding(const ScopedLoggerBinding&) = delete;
    ScopedLoggerBinding& operator=(const ScopedLoggerBinding&) = delete;

    // The logger bound to the calling thread, null when there is none.
    static const Logger* bound() noexcept;

private:
    const Logger* previous_;
};

}  // namespace logging::detail
