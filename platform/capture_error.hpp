#pragma once

#include <string>
#include <system_error>

namespace platform {

// CaptureError: why a capture stream failed to start or stopped by itself. Reported as
// std::error_code values of captureCategory().
enum class CaptureError {
    connectionFailed = 1,  // the window system can't be reached, or the connection broke
    extensionMissing,      // the window system lacks what capturing needs
    windowNotFound,        // the window doesn't exist
    windowGone,            // the window was destroyed while it was captured
    captureFailed,         // the window system refused to set up the capture
    stoppedByUser,         // the user ended the capture through the system's own controls
};

const std::error_category& captureCategory();
std::error_code make_error_code(CaptureError error);

}  // namespace platform

template <>
struct std::is_error_code_enum<platform::CaptureError> : std::true_type {};
