#pragma once

// The errors of the HTTP client that are its own; failures of the network (refused,
// reset, name not found) and of TLS pass through as the error codes Asio reports.
// Every failure is thrown as boost::system::system_error carrying one of these codes.

#include <boost/system/error_code.hpp>
#include <boost/system/system_error.hpp>

#include <string>
#include <type_traits>

namespace net {

enum class Error {
    // The request was cancelled: by its own stream's cancel(), or by the client's shutdown().
    cancelled = 1,
    // Nothing was sent or received for the request's whole timeout.
    timedOut,
    // The URL's scheme is neither http nor https.
    unsupportedScheme,
    // The URL has no host.
    invalidURL,
    // The response head is larger than the client's limit.
    headerTooLarge,
    // The response body is larger than the limit of the read that took it in.
    bodyTooLarge,
    // A header name or value of the request holds CR, LF or NUL, which would end the field
    // (or the head) early and let the rest be read as more fields or another request.
    unsafeHeader,
};

const boost::system::error_category& errorCategory() noexcept;

inline boost::system::error_code make_error_code(Error error) noexcept {
    return {static_cast<int>(error), errorCategory()};
}

// Throws `error` as boost::system::system_error, with `context` in front of its message.
[[noreturn]] void fail(Error error, const std::string& context = {});

// True when `error` is the client's cancellation.
bool isCancellation(const boost::system::error_code& error) noexcept;

}  // namespace net

template <>
struct boost::system::is_error_code_enum<net::Error> : std::true_type {};
