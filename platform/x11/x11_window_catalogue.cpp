#include "platform/x11/x11_window_catalogue.hpp"

#include "platform/x11/detail/xcb_property.hpp"
#include "platform/x11/x11_window_grabber.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>
#include <system_error>

namespace platform {

namespace {

// Longer texts are cut: window titles and class names are far shorter.
constexpr std::uint32_t kMaxTextWords = 1024;

std::string textProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    const auto reply = xcbReply(c, xcb_get_property(c, 0, window, property, type, 0, kMaxTextWords),
                                xcb_get_property_reply);
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8) return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// latin1ToUTF8: WM_NAME of type STRING is ISO 8859-1.
std::string latin1ToUTF8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            utf8 += ch;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string processName(int pid) {
    if (pid <= 0) return {};
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

X11WindowCatalogue::X11WindowCatalogue(const std::string& displayName, WindowSystem& windows)
    : connection_(displayName), windows_(windows) {
    constexpr std::array<std::string_view, 6> kNames = {
        "_NET_CLIENT_LIST_STACKING", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL",
        "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_NAME", "UTF8_STRING"};
    const auto atoms = connection_.atoms(kNames);
    atoms_ = Atoms{atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5]};
}

std::vector<X11WindowCatalogue::Entry> X11WindowCatalogue::list(const std::vector<int>& excludedPIDs,
                                                                std::optional<WindowID> ownWindow) {
    auto* c = connection_.get();
    const auto stacking = detail::propertyValues(
        c, detail::requestProperty(c, connection_.root(), atoms_.clientList, XCB_ATOM_WINDOW));
    if (connection_.broken()) throw Error("The connection to the X server broke.");
    if (!stacking) throw Error("The window manager keeps no list of its windows (_NET_CLIENT_LIST_STACKING).");
    const auto ownClass = ownWindow ? applicationClass(*ownWindow) : std::string();

    std::vector<Entry> entries;
    // The list runs from the bottom of the stack to its top.
    for (auto it = stacking->rbegin(); it != stacking->rend(); ++it) {
        const xcb_window_t window = *it;
        const auto entry = windows_.window(window);
        if (!entry || !entry->onScreen || !entry->bounds || !ordinary(window)) continue;
        const int pid = entry->ownerPID.value_or(0);
        if (pid != 0 && std::find(excludedPIDs.begin(), excludedPIDs.end(), pid) != excludedPIDs.end()) continue;
        auto appName = applicationClass(window);
        if (!ownClass.empty() && appName == ownClass) continue;
        entries.push_back(Entry{PickedWindow{window, pid, std::move(appName), processName(pid), title(window)},
                                *entry->bounds});
    }
    return entries;
}

std::optional<FrameImage> X11WindowCatalogue::picture(WindowID id) {
    auto* c = connection_.get();
    const auto geometry = xcbReply(c, xcb_get_geometry(c, id), xcb_get_geometry_reply);
    if (!geometry) return std::nullopt;
    try {
        X11WindowGrabber grabber(c, id);
        auto pixels = grabber.grab(geometry->border_width, geometry->width, geometry->height, geometry->depth);
        if (!pixels) return std::nullopt;
        return FrameImage{geometry->width, geometry->height, geometry->width * 4,
                          std::make_shared<const std::vector<std::uint8_t>>(std::move(*pixels))};
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

std::string X11WindowCatalogue::applicationClass(xcb_window_t window) const {
    // WM_CLASS holds two texts, each ended by a zero byte: the instance, then the class.
    const auto both = textProperty(connection_.get(), window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const auto end = both.find('\0');
    if (end == std::string::npos) return {};
    auto name = both.substr(end + 1);
    if (const auto tail = name.find('\0'); tail != std::string::npos) name.resize(tail);
    return name;
}

std::string X11WindowCatalogue::title(xcb_window_t window) const {
    auto* c = connection_.get();
    auto name = textProperty(c, window, atoms_.name, atoms_.utf8String);
    if (!name.empty()) return name;
    return latin1ToUTF8(textProperty(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING));
}

bool X11WindowCatalogue::ordinary(xcb_window_t window) const {
    auto* c = connection_.get();
    const auto types = detail::propertyValues(c, detail::requestProperty(c, window, atoms_.type, XCB_ATOM_ATOM));
    // The first type is the one the window prefers; later ones are fallbacks.
    if (!types || types->empty()) return true;
    return types->front() == atoms_.typeNormal || types->front() == atoms_.typeDialog;
}

}  // namespace platform
