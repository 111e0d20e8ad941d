#include "platform/x11/x11_click_source.hpp"

#include "platform/x11/detail/xcb_error.hpp"

#include <xcb/xinput.h>

#include <memory>
#include <string>
#include <utility>

namespace platform {

namespace {

constexpr std::uint32_t kLeftButton = 1;
// Deeper window trees than this don't occur; the bound only guards against a loop.
constexpr int kMaxTreeDepth = 32;

}  // namespace

X11ClickSource::X11ClickSource(const std::string& displayName, std::function<bool(WindowID)> isOwnWindow)
    : connection_(displayName), isOwnWindow_(std::move(isOwnWindow)) {
    auto* c = connection_.get();
    const auto* extension = xcb_get_extension_data(c, &xcb_input_id);
    if (extension == nullptr || extension->present == 0) {
        throw Error("The X server has no XInput extension, so clicks can't be watched.");
    }
    inputOpcode_ = extension->major_opcode;
    const auto version = xcbReply(c, xcb_input_xi_query_version(c, 2, 0), xcb_input_xi_query_version_reply);
    if (!version || version->major_version < 2) {
        throw Error("The X server's XInput extension is older than version 2, so clicks can't be watched.");
    }

    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    const auto error =
        detail::checkRequest(c, xcb_input_xi_select_events_checked(c, connection_.root(), 1, &mask.head));
    if (error) throw detail::errorOf("The X server refused to report clicks", *error);
}

int X11ClickSource::fileDescriptor() const {
    return xcb_get_file_descriptor(connection_.get());
}

int X11ClickSource::readClicks() {
    int clicks = 0;
    while (XCBPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
        if ((event->response_type & 0x7F) != XCB_GE_GENERIC) continue;
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
        if (generic->extension != inputOpcode_ || generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS) continue;
        const auto* press = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
        if (press->detail == kLeftButton && !pointerOverOwnWindow()) ++clicks;
    }
    return clicks;
}

bool X11ClickSource::pointerOverOwnWindow() const {
    auto* c = connection_.get();
    // Down from the root through the windows under the pointer: a window manager's frame
    // first, then the program's window inside it.
    xcb_window_t window = connection_.root();
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        const auto pointer = xcbReply(c, xcb_query_pointer(c, window), xcb_query_pointer_reply);
        if (!pointer || pointer->child == XCB_WINDOW_NONE) return false;
        window = pointer->child;
        if (isOwnWindow_(window)) return true;
    }
    return false;
}

ClickSourceFactory x11ClickSources(std::string displayName) {
    return [displayName = std::move(displayName)](std::function<bool(WindowID)> isOwnWindow) {
        return std::make_unique<X11ClickSource>(displayName, std::move(isOwnWindow));
    };
}

}  // namespace platform
