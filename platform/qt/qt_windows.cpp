#include "platform/qt/qt_windows.hpp"

#include "platform/qt/qt_label_panel.hpp"
#include "platform/qt/qt_ring_window.hpp"
#include "platform/qt/qt_status_panel.hpp"

#include <utility>

namespace platform {

std::unique_ptr<OverlayWindow> QtWindows::makeRing(Rect frame, double diameter) {
    return makeQtRing(frame, diameter, look_);
}

std::unique_ptr<LabelPanel> QtWindows::makeLabel(const MarkLabelContent& content, std::function<void()> onCopy,
                                                 std::function<void()> onDone) {
    return makeQtLabel(content, look_, std::move(onCopy), std::move(onDone));
}

std::unique_ptr<StatusPanelWindow> QtWindows::makeStatusPanel(std::function<void()> onDone,
                                                              std::function<void()> onStopSharing) {
    return makeQtStatusPanel(look_, std::move(onDone), std::move(onStopSharing));
}

}  // namespace platform
