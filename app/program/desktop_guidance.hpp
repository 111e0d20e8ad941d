#pragma once

#include "app/looking/guide_status.hpp"
#include "app/common/host_status.hpp"
#include "app/looking/looking.hpp"
#include "app/looking/pointer.hpp"
#include "app/looking/request_panel.hpp"
#include "app/looking/status_panel.hpp"
#include "app/tools/tool_calls.hpp"
#include "app/looking/window_share.hpp"

#include "platform/qt/qt_click_monitor.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_image_codec.hpp"
#include "platform/qt/qt_request_panels.hpp"
#include "platform/qt/qt_window_picker.hpp"
#include "platform/qt/qt_windows.hpp"
#include "platform/scheduler.hpp"
#include "platform/x11/x11_activation.hpp"
#include "platform/x11/x11_capture_stream.hpp"
#include "platform/x11/x11_window_catalogue.hpp"
#include "platform/x11/x11_window_system.hpp"

namespace app {

// DesktopGuidance: everything the agent's tools drive on the user's X11 desktop, made and wired
// once for the program's life: the window list, the picker and the capture of the shared
// window, the request panel, the rings and the status box, with the window share, the look and
// point flows and the tool calls over them. The status box's Done ends every ring; its Stop
// Sharing stops the share.
//
// Main thread only; needs a QApplication and the X display of the environment. Throws
// platform::Error when the display can't be reached. Keeps references to main and host, which
// must outlive it.
class DesktopGuidance {
public:
    DesktopGuidance(platform::Scheduler& main, HostStatus& host, int ownPID);
    DesktopGuidance(const DesktopGuidance&) = delete;
    DesktopGuidance& operator=(const DesktopGuidance&) = delete;

    ToolDispatcher& tools() { return tools_; }
    WindowShare& share() { return share_; }
    Looking& looking() { return looking_; }

private:
    platform::X11WindowSystem windowList_;
    platform::X11WindowCatalogue catalogue_;
    platform::QtWindowPicker picker_;
    platform::X11CaptureFactory capture_;
    platform::X11Activation activation_;
    platform::QtScreens screens_;
    platform::QtClickMonitor clicks_;
    platform::QtWindows windows_;
    platform::QtClipboard clipboard_;
    platform::QtImageCodec codec_;
    platform::QtRequestPanels requestPanels_;

    GuideStatus status_;
    Pointer pointer_;
    WindowShare share_;
    StatusPanel statusPanel_;
    RequestPanel requests_;
    Looking looking_;
    ToolCalls tools_;
};

}  // namespace app
