#pragma once

#include "logging/detail/text_form.hpp"

#include <concepts>
#include <exception>
#include <string>
#include <system_error>
#include <type_traits>
#include <typeinfo>

namespace logging {

template <class E>
concept ErrorValue = std::derived_from<std::remove_cvref_t<E>, std::exception> ||
                     std::same_as<std::remove_cvref_t<E>, std::error_code>;

// LogError: the error a caller attaches to a log event, captured when the event is built:
// its text and the full name of its dynamic type ("mcp.MCPError"). Made implicitly from an
// exception object (read through its dynamic type, so a std::exception reference to an
// MCPError gives "mcp.MCPError"), a std::error_code, or a std::exception_ptr.
class LogError {
public:
    template <ErrorValue E>
    LogError(const E& error) : typeName_(detail::qualifiedTypeName(typeid(error))) {
        if constexpr (std::same_as<E, std::error_code>) {
            description_ = error.message();
        } else {
            description_ = detail::textForm(error);
        }
    }

    // Reads the thrown object by rethrowing it; keeps the pointer. Throws std::invalid_argument
    // for a null pointer.
    LogError(std::exception_ptr error);

    LogError(std::string description, std::string typeName);

    // The error's text: what() for an exception, message() for an error code.
    const std::string& description() const noexcept { return description_; }
    // The full name of the error's dynamic type, namespaces joined by points.
    const std::string& typeName() const noexcept { return typeName_; }
    // The thrown object when the error came as a std::exception_ptr; null otherwise.
    const std::exception_ptr& exception() const noexcept { return exception_; }

private:
    std::string description_;
    std::string typeName_;
    std::exception_ptr exception_;
};

}  // namespace logging
