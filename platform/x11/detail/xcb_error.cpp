#include "platform/x11/detail/xcb_error.hpp"

#include <string>

namespace platform::detail {

XCBFailure failureOf(const xcb_generic_error_t& error) {
    switch (error.error_code) {
    case XCB_WINDOW:
        return XCBFailure::noSuchWindow;
    default:
        return XCBFailure::refused;
    }
}

CaptureError captureErrorOf(const xcb_generic_error_t& error) {
    switch (failureOf(error)) {
    case XCBFailure::noSuchWindow:
        return CaptureError::windowNotFound;
    case XCBFailure::refused:
        break;
    }
    return CaptureError::captureFailed;
}

Error errorOf(std::string_view what, const xcb_generic_error_t& error) {
    return Error(std::string(what) + " (X error " + std::to_string(error.error_code) + ").");
}

XCBPtr<xcb_generic_error_t> checkRequest(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    return XCBPtr<xcb_generic_error_t>(xcb_request_check(connection, cookie));
}

}  // namespace platform::detail
