#include "app/program/desktop_guidance.hpp"

#include "platform/x11/x11_click_source.hpp"
#include "platform/x11/x11_compositor.hpp"
#include "platform/x11/x11_connection.hpp"

namespace app {

namespace {

// overlayLook: translucent overlays where a compositor draws them so, shaped ones elsewhere.
platform::OverlayLook overlayLook() {
    const platform::X11Connection connection("");
    return platform::compositorActive(connection) ? platform::OverlayLook::translucent
                                                  : platform::OverlayLook::masked;
}

}  // namespace

DesktopGuidance::DesktopGuidance(platform::Scheduler& main, HostStatus& host, int ownPID)
    : catalogue_("", windowList_),
      picker_(catalogue_),
      clicks_(platform::x11ClickSources("")),
      windows_(overlayLook()),
      status_(main),
      pointer_(main, screens_, clicks_, windows_, clipboard_, status_),
      share_(WindowShare::Services{
          .main = main,
          .picker = picker_,
          .capture = capture_,
          .windows = windowList_,
          .screens = screens_,
          .codec = codec_,
          .pointer = pointer_,
          .status = status_,
          .ownPID = ownPID,
      }),
      statusPanel_(
          status_, windows_, screens_, main, [this] { pointer_.endAllAsDone(); }, [this] { share_.stop(); }),
      requests_(requestPanels_, main),
      looking_(share_, requests_, Looking::Guidance{main, windowList_, activation_, pointer_, status_, ownPID}),
      tools_({main, host, status_, share_, pointer_, looking_}) {}

}  // namespace app
