#pragma once

#include "logging/log_error.hpp"
#include "logging/log_message.hpp"
#include "logging/metadata_value.hpp"

#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// The arguments of a log call, passed unevaluated: a callable is called only after the event
// passed the level check, so a statement below the level costs the check alone. Text that
// already exists (a literal, a std::string) and an existing error object are taken by
// reference and read only after the check, which costs nothing either. std::nullopt leaves an
// argument out.
namespace logging::detail {

template <class T>
concept Absent = std::same_as<std::remove_cvref_t<T>, std::nullopt_t>;

template <class T>
concept ExistingText = std::is_convertible_v<const std::remove_reference_t<T>&, std::string_view>;

template <class F, class R>
concept Yields = std::invocable<F&> && std::convertible_to<std::invoke_result_t<F&>, R>;

template <class T>
concept MessageArgument = ExistingText<T> ||
                          std::same_as<std::remove_cvref_t<T>, LogMessage> ||
                          (!ExistingText<T> && Yields<T, LogMessage>);

template <class T>
concept ErrorArgument = Absent<T> || ErrorValue<T> ||
                        std::same_as<std::remove_cvref_t<T>, std::exception_ptr> ||
                        std::same_as<std::remove_cvref_t<T>, LogError> ||
                        Yields<T, std::optional<LogError>>;

// Metadata is always computed, so it is only taken as a callable.
template <class T>
concept MetadataArgument = Absent<T> || Yields<T, std::optional<Metadata>>;

template <class T>
concept SourceArgument = Absent<T> || ExistingText<T> || Yields<T, std::optional<std::string>>;

template <class T>
LogMessage evaluateMessage(T& message) {
    if constexpr (ExistingText<T>) {
        return LogMessage(std::string_view(message));
    } else if constexpr (std::same_as<std::remove_cvref_t<T>, LogMessage>) {
        return message;
    } else {
        return LogMessage(std::invoke(message));
    }
}

template <class T>
std::optional<LogError> evaluateError(T& error) {
    if constexpr (Absent<T>) {
        return std::nullopt;
    } else if constexpr (std::invocable<T&>) {
        return std::optional<LogError>(std::invoke(error));
    } else {
        return LogError(error);
    }
}

template <class T>
std::optional<Metadata> evaluateMetadata(T& metadata) {
    if constexpr (Absent<T>) {
        return std::nullopt;
    } else {
        return std::optional<Metadata>(std::invoke(metadata));
    }
}

template <class T>
std::optional<std::string> evaluateSource(T& source) {
    if constexpr (Absent<T>) {
        return std::nullopt;
    } else if constexpr (ExistingText<T>) {
        return std::string(std::string_view(source));
    } else {
        return std::optional<std::string>(std::invoke(source));
    }
}

}  // namespace logging::detail
