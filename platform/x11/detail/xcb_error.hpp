#pragma once

#include "platform/capture_error.hpp"
#include "platform/error.hpp"
#include "platform/x11/x11_connection.hpp"

#include <xcb/xcb.h>

#include <string_view>

namespace platform::detail {

// XCBFailure: what an X error on a request about one window means to the program. Every place
// that checks a request reads its error through failureOf(), so the same error gets the same
// answer everywhere.
enum class XCBFailure {
    noSuchWindow,  // the window doesn't exist (any more)
    refused,       // the server refused the request for another reason
};

// failureOf: the meaning of error.
XCBFailure failureOf(const xcb_generic_error_t& error);

// captureErrorOf: the capture error for a request of setting up a capture that failed so.
CaptureError captureErrorOf(const xcb_generic_error_t& error);

// errorOf: the Error to throw for a request the program can't do without:
// "<what> (X error <code>)."
Error errorOf(std::string_view what, const xcb_generic_error_t& error);

// checkRequest: waits for the server's answer to a checked request; its error, or null when
// it succeeded. Checking keeps the error out of an event queue that may never be read.
XCBPtr<xcb_generic_error_t> checkRequest(xcb_connection_t* connection, xcb_void_cookie_t cookie);

}  // namespace platform::detail
