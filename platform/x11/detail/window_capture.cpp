#include "platform/x11/detail/window_capture.hpp"

#include "platform/x11/detail/cursor_blend.hpp"
#include "platform/x11/detail/xcb_error.hpp"
#include "platform/x11/detail/xcb_property.hpp"

#include <xcb/damage.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace platform::detail {

struct WindowCapture::Cursor {
    XCBPtr<xcb_xfixes_get_cursor_image_reply_t> reply;
    CursorImage image;  // in the window's coordinates
    std::uint64_t key;  // position and shape, to notice a change
};

WindowCapture::WindowCapture(const std::string& displayName, xcb_window_t window,
                             const StreamConfiguration& configuration)
    : connection_([&] {
          try {
              return X11Connection(displayName);
          } catch (const Error&) {
              throw std::system_error(CaptureError::connectionFailed);
          }
      }()),
      window_(window),
      configuration_(configuration) {
    auto* c = connection_.get();
    // The window's destruction reaches us as one of its structure events.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const auto error =
        checkRequest(c, xcb_change_window_attributes_checked(c, window_, XCB_CW_EVENT_MASK, &events));
    if (error) throw std::system_error(captureErrorOf(*error));

    if (!connection_.hasExtension(&xcb_damage_id)) throw std::system_error(CaptureError::extensionMissing);
    const auto damageVersion =
        xcbReply(c, xcb_damage_query_version(c, 1, 1), xcb_damage_query_version_reply);
    if (!damageVersion) throw std::system_error(CaptureError::extensionMissing);
    damageNotify_ = xcb_get_extension_data(c, &xcb_damage_id)->first_event + XCB_DAMAGE_NOTIFY;

    grabber_ = std::make_unique<X11WindowGrabber>(c, window_);
    damage_ = xcb_generate_id(c);
    xcb_damage_create(c, damage_, window_, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);

    if (connection_.hasExtension(&xcb_xfixes_id)) {
        canReadCursor_ = static_cast<bool>(
            xcbReply(c, xcb_xfixes_query_version(c, 4, 0), xcb_xfixes_query_version_reply));
    }
    constexpr std::array<std::string_view, 2> kNames = {"_NET_WM_STATE", "_NET_WM_STATE_HIDDEN"};
    const auto atoms = connection_.atoms(kNames);
    state_ = atoms[0];
    stateHidden_ = atoms[1];
    xcb_flush(c);
}

WindowCapture::~WindowCapture() {
    if (!gone_) xcb_damage_destroy(connection_.get(), damage_);
    grabber_.reset();
}

int WindowCapture::fd() const { return xcb_get_file_descriptor(connection_.get()); }

void WindowCapture::setConfiguration(const StreamConfiguration& configuration) {
    configuration_ = configuration;
    fresh_ = true;
}

std::optional<CaptureError> WindowCapture::ended() const {
    if (connection_.broken()) return CaptureError::connectionFailed;
    if (gone_) return CaptureError::windowGone;
    return std::nullopt;
}

void WindowCapture::readEvents() {
    auto* c = connection_.get();
    bool damaged = false;
    while (XCBPtr<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        const auto type = event->response_type & 0x7F;
        if (type == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get());
            if (destroyed->window == window_) gone_ = true;
        } else if (type == damageNotify_) {
            damaged = true;
        }
        // Errors of requests sent without waiting (a pixmap named while the window was being
        // unmapped) need nothing: the next tick asks again.
    }
    if (damaged && !gone_) {
        // Emptying the damage re-arms the notification for the next change.
        xcb_damage_subtract(c, damage_, XCB_NONE, XCB_NONE);
        xcb_flush(c);
        fresh_ = true;
    }
}

std::optional<WindowCapture::Cursor> WindowCapture::readCursor(xcb_window_t root, int windowWidth,
                                                               int windowHeight) {
    auto* c = connection_.get();
    const auto cursorRequest = xcb_xfixes_get_cursor_image(c);
    const auto originRequest = xcb_translate_coordinates(c, window_, root, 0, 0);
    auto reply = xcbReply(c, cursorRequest, xcb_xfixes_get_cursor_image_reply);
    const auto origin = xcbReply(c, originRequest, xcb_translate_coordinates_reply);
    if (!reply || !origin || origin->same_screen == 0) return std::nullopt;

    const auto* pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    const auto length = static_cast<std::size_t>(xcb_xfixes_get_cursor_image_cursor_image_length(reply.get()));
    CursorImage image{reply->x - reply->xhot - origin->dst_x, reply->y - reply->yhot - origin->dst_y,
                      reply->width, reply->height, {pixels, length}};
    if (!overlaps(image, windowWidth, windowHeight)) return std::nullopt;
    const auto key = (std::uint64_t{reply->cursor_serial} << 32) |
                     (std::uint64_t{static_cast<std::uint16_t>(image.left)} << 16) |
                     std::uint64_t{static_cast<std::uint16_t>(image.top)};
    return Cursor{std::move(reply), image, key};
}

FrameSample WindowCapture::tick() {
    auto* c = connection_.get();
    const auto attributesRequest = xcb_get_window_attributes(c, window_);
    const auto geometryRequest = xcb_get_geometry(c, window_);
    const auto stateRequest = requestProperty(c, window_, state_, XCB_ATOM_ATOM);
    const auto attributes = xcbReply(c, attributesRequest, xcb_get_window_attributes_reply);
    const auto geometry = xcbReply(c, geometryRequest, xcb_get_geometry_reply);
    const auto states = propertyValues(c, stateRequest);
    if (!attributes || !geometry) {
        // The destruction's event may still be on its way; the request's failure says enough.
        gone_ = !connection_.broken();
        return {FrameStatus::stopped, std::nullopt};
    }

    const bool hidden = states && std::find(states->begin(), states->end(), stateHidden_) != states->end();
    if (attributes->map_state != XCB_MAP_STATE_VIEWABLE || hidden) {
        fresh_ = true;
        return {FrameStatus::suspended, std::nullopt};
    }

    const int width = geometry->width;
    const int height = geometry->height;
    std::optional<Cursor> cursor;
    if (configuration_.showsCursor && canReadCursor_) cursor = readCursor(geometry->root, width, height);
    const std::optional<std::uint64_t> cursorKey =
        cursor ? std::optional<std::uint64_t>(cursor->key) : std::nullopt;
    const bool changed = fresh_ || width != lastWidth_ || height != lastHeight_ || cursorKey != lastCursor_;
    if (!changed) return {FrameStatus::idle, std::nullopt};

    auto pixels = grabber_->grab(geometry->border_width, width, height, geometry->depth);
    if (!pixels) {
        // Unmapped between the two requests, or a depth we can't read: nothing to show now.
        fresh_ = true;
        return {FrameStatus::suspended, std::nullopt};
    }
    if (cursor) blendCursor(*pixels, width, height, width * 4, cursor->image);

    const auto status = first_ ? FrameStatus::started : FrameStatus::complete;
    first_ = false;
    fresh_ = false;
    lastWidth_ = width;
    lastHeight_ = height;
    lastCursor_ = cursorKey;
    return {status, FrameImage{width, height, width * 4,
                               std::make_shared<const std::vector<std::uint8_t>>(std::move(*pixels))}};
}

}  // namespace platform::detail
