#include "platform/x11/detail/xcb_error.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::detail {
namespace {

xcb_generic_error_t xError(std::uint8_t code) {
    xcb_generic_error_t error{};
    error.response_type = 0;
    error.error_code = code;
    return error;
}

// Every request about a window reads its error the same way: a window that isn't there is
// "not found", anything else the server refused.
TEST(XCBError, MapsEachErrorOnceForEveryCaller) {
    constexpr struct {
        std::string_view name;
        std::uint8_t code;
        XCBFailure failure;
        CaptureError capture;
    } kCases[] = {
        {"BadWindow", XCB_WINDOW, XCBFailure::noSuchWindow, CaptureError::windowNotFound},
        {"BadMatch", XCB_MATCH, XCBFailure::refused, CaptureError::captureFailed},
        {"BadAccess", XCB_ACCESS, XCBFailure::refused, CaptureError::captureFailed},
        {"BadValue", XCB_VALUE, XCBFailure::refused, CaptureError::captureFailed},
        {"BadAlloc", XCB_ALLOC, XCBFailure::refused, CaptureError::captureFailed},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto error = xError(c.code);
        EXPECT_EQ(failureOf(error), c.failure);
        EXPECT_EQ(captureErrorOf(error), c.capture);
        EXPECT_EQ(std::string(errorOf("The X server refused", error).what()),
                  "The X server refused (X error " + std::to_string(c.code) + ").");
    }
}

}  // namespace
}  // namespace platform::detail
