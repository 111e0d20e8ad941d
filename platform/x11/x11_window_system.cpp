#include "platform/x11/x11_window_system.hpp"

#include "platform/x11/detail/xcb_property.hpp"

#include <xcb/res.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace platform {

using detail::firstPropertyValue;
using detail::propertyValues;
using detail::requestProperty;

namespace {

// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
// _NET_WM_WINDOW_OPACITY of a fully opaque window.
constexpr double kOpaque = 0xFFFFFFFF;
// How deep below a top-level the search for its client goes; window managers nest the client
// one or two levels down.
constexpr int kClientSearchDepth = 4;

bool contains(const std::optional<std::vector<std::uint32_t>>& values, xcb_atom_t atom) {
    return values && std::find(values->begin(), values->end(), atom) != values->end();
}

std::vector<xcb_window_t> childrenOf(const xcb_query_tree_reply_t& tree) {
    const auto* children = xcb_query_tree_children(&tree);
    return {children, children + xcb_query_tree_children_length(&tree)};
}

}  // namespace

struct X11WindowSystem::FactRequests {
    xcb_get_property_cookie_t type;
    xcb_get_property_cookie_t state;
    xcb_get_property_cookie_t opacity;
    xcb_get_property_cookie_t pid;
    xcb_get_property_cookie_t desktop;
    std::optional<xcb_res_query_client_ids_cookie_t> ownerPID;
};

struct X11WindowSystem::Facts {
    std::optional<std::vector<std::uint32_t>> types;
    std::optional<std::vector<std::uint32_t>> states;
    std::optional<std::uint32_t> opacity;
    std::optional<int> pid;
    std::optional<std::uint32_t> desktop;
};

X11WindowSystem::X11WindowSystem(const std::string& displayName) : connection_(displayName) {
    auto* c = connection_.get();
    constexpr std::array<std::string_view, 13> kNames = {
        "WM_STATE",
        "_NET_WM_STATE",
        "_NET_WM_STATE_HIDDEN",
        "_NET_WM_STATE_ABOVE",
        "_NET_WM_WINDOW_TYPE",
        "_NET_WM_WINDOW_TYPE_DESKTOP",
        "_NET_WM_WINDOW_TYPE_NORMAL",
        "_NET_WM_WINDOW_TYPE_DIALOG",
        "_NET_WM_WINDOW_TYPE_UTILITY",
        "_NET_WM_WINDOW_OPACITY",
        "_NET_WM_PID",
        "_NET_WM_DESKTOP",
        "_NET_CURRENT_DESKTOP"};
    const auto atoms = connection_.atoms(kNames);
    atoms_ = Atoms{atoms[0], atoms[1], atoms[2],  atoms[3],  atoms[4],  atoms[5], atoms[6],
                   atoms[7], atoms[8], atoms[9], atoms[10], atoms[11], atoms[12]};

    // Owners by X-Resource need version 1.2; older servers leave only _NET_WM_PID.
    if (connection_.hasExtension(&xcb_res_id)) {
        const auto version = xcbReply(c, xcb_res_query_version(c, 1, 2), xcb_res_query_version_reply);
        canQueryPIDs_ = version && (version->server_major > 1 ||
                                    (version->server_major == 1 && version->server_minor >= 2));
    }
}

X11WindowSystem::FactRequests X11WindowSystem::requestFacts(xcb_window_t client) const {
    auto* c = connection_.get();
    FactRequests requests{
        requestProperty(c, client, atoms_.type, XCB_ATOM_ATOM),
        requestProperty(c, client, atoms_.state, XCB_ATOM_ATOM),
        requestProperty(c, client, atoms_.opacity, XCB_ATOM_CARDINAL),
        requestProperty(c, client, atoms_.pid, XCB_ATOM_CARDINAL),
        requestProperty(c, client, atoms_.desktop, XCB_ATOM_CARDINAL),
        std::nullopt};
    if (canQueryPIDs_) {
        const xcb_res_client_id_spec_t spec{client, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        requests.ownerPID = xcb_res_query_client_ids(c, 1, &spec);
    }
    return requests;
}

X11WindowSystem::Facts X11WindowSystem::collectFacts(const FactRequests& requests) const {
    auto* c = connection_.get();
    Facts facts;
    facts.types = propertyValues(c, requests.type);
    facts.states = propertyValues(c, requests.state);
    facts.opacity = firstPropertyValue(c, requests.opacity);
    const auto declaredPID = firstPropertyValue(c, requests.pid);
    facts.desktop = firstPropertyValue(c, requests.desktop);
    if (requests.ownerPID) {
        const auto reply = xcbReply(c, *requests.ownerPID, xcb_res_query_client_ids_reply);
        if (reply) {
            for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
                 xcb_res_client_id_value_next(&it)) {
                if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
                    xcb_res_client_id_value_value_length(it.data) == 1) {
                    facts.pid = static_cast<int>(*xcb_res_client_id_value_value(it.data));
                }
            }
        }
    }
    // The server knows the pid only of local clients; a remote one may still declare its own.
    if (!facts.pid && declaredPID && *declaredPID <= std::numeric_limits<int>::max()) {
        facts.pid = static_cast<int>(*declaredPID);
    }
    return facts;
}

std::optional<int> X11WindowSystem::layerOf(const Facts& facts, bool overrideRedirect) const {
    if (overrideRedirect) return 1;
    // The first type is the one the window prefers; later ones are fallbacks.
    if (facts.types && !facts.types->empty()) {
        const auto type = facts.types->front();
        if (type == atoms_.typeDesktop) return std::nullopt;
        if (type != atoms_.typeNormal && type != atoms_.typeDialog && type != atoms_.typeUtility) {
            return 1;
        }
    }
    return contains(facts.states, atoms_.stateAbove) ? 1 : 0;
}

std::optional<std::pair<xcb_window_t, xcb_window_t>> X11WindowSystem::topLevelOf(
    xcb_window_t window) const {
    auto* c = connection_.get();
    for (;;) {
        const auto tree = xcbReply(c, xcb_query_tree(c, window), xcb_query_tree_reply);
        if (!tree) return std::nullopt;
        if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) {
            if (window == tree->root) return std::nullopt;
            return std::pair{window, tree->root};
        }
        window = tree->parent;
    }
}

xcb_window_t X11WindowSystem::clientOf(xcb_window_t topLevel) const {
    auto* c = connection_.get();
    std::vector<xcb_window_t> level{topLevel};
    for (int depth = 0; depth <= kClientSearchDepth && !level.empty(); ++depth) {
        std::vector<xcb_get_property_cookie_t> states;
        std::vector<xcb_query_tree_cookie_t> trees;
        for (const auto window : level) {
            states.push_back(xcb_get_property(c, 0, window, atoms_.wmState, XCB_ATOM_ANY, 0, 0));
            trees.push_back(xcb_query_tree(c, window));
        }
        std::optional<xcb_window_t> found;
        std::vector<xcb_window_t> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            const auto state = xcbReply(c, states[i], xcb_get_property_reply);
            const auto tree = xcbReply(c, trees[i], xcb_query_tree_reply);
            if (!found && state && state->type != XCB_ATOM_NONE) found = level[i];
            if (tree) {
                const auto children = childrenOf(*tree);
                next.insert(next.end(), children.begin(), children.end());
            }
        }
        if (found) return *found;
        level = std::move(next);
    }
    return topLevel;
}

std::optional<WindowEntry> X11WindowSystem::window(WindowID id) {
    auto* c = connection_.get();
    const auto geometryRequest = xcb_get_geometry(c, id);
    const auto attributesRequest = xcb_get_window_attributes(c, id);
    const auto factRequests = requestFacts(id);
    const auto geometry = xcbReply(c, geometryRequest, xcb_get_geometry_reply);
    const auto attributes = xcbReply(c, attributesRequest, xcb_get_window_attributes_reply);
    const auto facts = collectFacts(factRequests);
    if (!geometry || !attributes) return std::nullopt;

    const auto origin = xcbReply(c, xcb_translate_coordinates(c, id, geometry->root, 0, 0),
                                 xcb_translate_coordinates_reply);
    const auto currentDesktop = firstPropertyValue(
        c, requestProperty(c, geometry->root, atoms_.currentDesktop, XCB_ATOM_CARDINAL));
    if (!origin) return std::nullopt;

    const bool onCurrentDesktop = !facts.desktop || !currentDesktop ||
                                  *facts.desktop == kAllDesktops || *facts.desktop == *currentDesktop;
    WindowEntry entry;
    entry.id = id;
    entry.bounds = Rect{static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                        static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
    entry.onScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                     !contains(facts.states, atoms_.stateHidden) && onCurrentDesktop;
    entry.layer = layerOf(facts, attributes->override_redirect != 0);
    entry.ownerPID = facts.pid;
    if (facts.opacity) entry.alpha = *facts.opacity / kOpaque;
    return entry;
}

std::optional<std::vector<WindowEntry>> X11WindowSystem::windowsAbove(WindowID id) {
    auto* c = connection_.get();
    const auto topLevel = topLevelOf(id);
    if (!topLevel) return std::nullopt;
    const auto [top, root] = *topLevel;
    const auto tree = xcbReply(c, xcb_query_tree(c, root), xcb_query_tree_reply);
    if (!tree) return std::nullopt;
    const auto stacking = childrenOf(*tree);
    const auto position = std::find(stacking.begin(), stacking.end(), top);
    if (position == stacking.end()) return std::nullopt;

    // The root's children come bottom to top: the ones after the window's top-level are above it.
    const std::vector<xcb_window_t> above(position + 1, stacking.end());
    std::vector<xcb_get_window_attributes_cookie_t> attributeRequests;
    for (const auto window : above) attributeRequests.push_back(xcb_get_window_attributes(c, window));
    std::vector<std::pair<xcb_window_t, bool>> shown;
    for (std::size_t i = 0; i < above.size(); ++i) {
        const auto attributes =
            xcbReply(c, attributeRequests[i], xcb_get_window_attributes_reply);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
            shown.emplace_back(above[i], attributes->override_redirect != 0);
        }
    }

    std::vector<WindowEntry> entries;
    // Front-most first.
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        const auto [window, overrideRedirect] = *it;
        const auto client = overrideRedirect ? window : clientOf(window);
        const auto geometryRequest = xcb_get_geometry(c, window);
        const auto factRequests = requestFacts(client);
        const auto geometry = xcbReply(c, geometryRequest, xcb_get_geometry_reply);
        const auto facts = collectFacts(factRequests);
        const auto layer = layerOf(facts, overrideRedirect);
        if (!layer) continue;

        WindowEntry entry;
        entry.id = client;
        entry.onScreen = true;
        entry.layer = layer;
        entry.ownerPID = facts.pid;
        if (facts.opacity) entry.alpha = *facts.opacity / kOpaque;
        if (geometry) {
            const double border = 2.0 * geometry->border_width;
            entry.bounds = Rect{static_cast<double>(geometry->x), static_cast<double>(geometry->y),
                                geometry->width + border, geometry->height + border};
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace platform
