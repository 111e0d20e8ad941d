#pragma once

#include "platform/request_panels.hpp"

namespace platform {

// QtRequestPanels: request panels as Qt windows: a top-level window titled "Vantor MCP" with a
// title bar and a close button (drawn by the window manager), no resize control, kept above
// the other windows, showing a LookRequestView.
//
// Main thread only; needs a QApplication.
class QtRequestPanels final : public RequestPanels {
public:
    std::unique_ptr<RequestWindow> makeRequestPanel(const RequestViewContent& content,
                                                    std::function<void(LookAnswer)> onAnswer,
                                                    std::function<void()> onUserClose) override;
};

}  // namespace platform
