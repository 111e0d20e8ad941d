#pragma once

#include "platform/qt/qt_overlay_window.hpp"

namespace platform {

// QtWindows: the program's floating windows as Qt widgets on X11: override-redirect windows
// that stay on top, never take the focus, and are drawn as look says (translucent where a
// compositor runs, cut to their shapes with masks where none does). Stable titles for
// automation: "Vantor MCP Ring", "Vantor MCP Label", "Vantor MCP Status".
//
// Main thread only; needs a QApplication.
class QtWindows final : public Windows {
public:
    explicit QtWindows(OverlayLook look) : look_(look) {}

    std::unique_ptr<OverlayWindow> makeRing(Rect frame, double diameter) override;
    std::unique_ptr<LabelPanel> makeLabel(const MarkLabelContent& content, std::function<void()> onCopy,
                                          std::function<void()> onDone) override;
    std::unique_ptr<StatusPanelWindow> makeStatusPanel(std::function<void()> onDone,
                                                       std::function<void()> onStopSharing) override;

private:
    OverlayLook look_;
};

}  // namespace platform
