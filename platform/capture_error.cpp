#include "platform/capture_error.hpp"

namespace platform {

namespace {

class CaptureCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "capture"; }

    std::string message(int value) const override {
        switch (static_cast<CaptureError>(value)) {
        case CaptureError::connectionFailed:
            return "The connection to the window system failed.";
        case CaptureError::extensionMissing:
            return "The window system can't capture windows.";
        case CaptureError::windowNotFound:
            return "The window doesn't exist.";
        case CaptureError::windowGone:
            return "The window was closed.";
        case CaptureError::captureFailed:
            return "The window system refused to capture the window.";
        case CaptureError::stoppedByUser:
            return "The user stopped the capture.";
        }
        return "Unknown capture error.";
    }
};

}  // namespace

const std::error_category& captureCategory() {
    static const CaptureCategory category;
    return category;
}

std::error_code make_error_code(CaptureError error) {
    return {static_cast<int>(error), captureCategory()};
}

}  // namespace platform
