#pragma once

#include "logging/detail/logger_binding.hpp"

#include <boost/asio/prefer.hpp>
#include <boost/asio/query.hpp>
#include <boost/asio/require.hpp>

#include <memory>
#include <type_traits>
#include <utility>

namespace logging {
class Logger;
}

namespace logging::detail {

// An executor that runs everything it is given through Inner with `logger` bound to the thread
// for the length of each function. A coroutine spawned on it is bound at every resumption, so
// a binding made for it lasts across its suspensions. Every property is that of Inner.
template <class Inner>
class LoggerBoundExecutor {
public:
    LoggerBoundExecutor(Inner inner, std::shared_ptr<const Logger> logger) noexcept
        : inner_(std::move(inner)), logger_(std::move(logger)) {}

    template <class Property>
    auto query(const Property& property) const -> decltype(boost::asio::query(std::declval<const Inner&>(), property)) {
        return boost::asio::query(inner_, property);
    }

    template <class Property>
    auto require(const Property& property) const
        -> LoggerBoundExecutor<std::decay_t<decltype(boost::asio::require(std::declval<const Inner&>(), property))>> {
        return {boost::asio::require(inner_, property), logger_};
    }

    template <class Property>
    auto prefer(const Property& property) const
        -> LoggerBoundExecutor<std::decay_t<decltype(boost::asio::prefer(std::declval<const Inner&>(), property))>> {
        return {boost::asio::prefer(inner_, property), logger_};
    }

    template <class Function>
    void execute(Function&& function) const {
        inner_.execute([logger = logger_, function = std::forward<Function>(function)]() mutable {
            const ScopedLoggerBinding binding(*logger);
            std::move(function)();
        });
    }

    friend bool operator==(const LoggerBoundExecutor& a, const LoggerBoundExecutor& b) noexcept {
        return a.inner_ == b.inner_ && a.logger_ == b.logger_;
    }
    friend bool operator!=(const LoggerBoundExecutor& a, const LoggerBoundExecutor& b) noexcept { return !(a == b); }

private:
    template <class>
    friend class LoggerBoundExecutor;

    Inner inner_;
    std::shared_ptr<const Logger> logger_;
};

}  // namespace logging::detail
