#include "platform/window_system.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string_view>

namespace platform {
namespace {

constexpr int kOwnPID = 4242;
constexpr Rect kCover{100, 50, 200, 100};

WindowEntry coveringEntry() {
    return WindowEntry{.id = 7, .bounds = kCover, .onScreen = true, .layer = 0, .ownerPID = 99,
                       .alpha = 1.0};
}

TEST(WindowSystem, IsCoveredFollowsLayerOwnerAlphaAndBounds) {
    struct Case {
        std::string_view name;
        void (*change)(WindowEntry&);
        Point point;
        bool covered;
    };
    const Case kCases[] = {
        {"ordinary window over the point", [](WindowEntry&) {}, {150, 80}, true},
        {"layer 1", [](WindowEntry& e) { e.layer = 1; }, {150, 80}, false},
        {"no layer", [](WindowEntry& e) { e.layer.reset(); }, {150, 80}, false},
        {"own window", [](WindowEntry& e) { e.ownerPID = kOwnPID; }, {150, 80}, false},
        {"no owner", [](WindowEntry& e) { e.ownerPID.reset(); }, {150, 80}, true},
        {"alpha 0.1", [](WindowEntry& e) { e.alpha = 0.1; }, {150, 80}, false},
        {"alpha 0.11", [](WindowEntry& e) { e.alpha = 0.11; }, {150, 80}, true},
        {"alpha 0", [](WindowEntry& e) { e.alpha = 0.0; }, {150, 80}, false},
        {"no alpha", [](WindowEntry& e) { e.alpha.reset(); }, {150, 80}, true},
        {"no bounds", [](WindowEntry& e) { e.bounds.reset(); }, {150, 80}, false},
        {"left edge", [](WindowEntry&) {}, {100, 80}, true},
        {"top edge", [](WindowEntry&) {}, {150, 50}, true},
        {"top-left corner", [](WindowEntry&) {}, {100, 50}, true},
        {"right edge", [](WindowEntry&) {}, {300, 80}, false},
        {"bottom edge", [](WindowEntry&) {}, {150, 150}, false},
        {"just inside the bottom-right corner", [](WindowEntry&) {}, {299.5, 149.5}, true},
        {"left of the window", [](WindowEntry&) {}, {99.9, 80}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto entry = coveringEntry();
        c.change(entry);
        EXPECT_EQ(isCovered(entry, kOwnPID, c.point), c.covered);
    }
}

// ScriptedWindows: a window list given as a table.
class ScriptedWindows final : public WindowSystem {
public:
    std::map<WindowID, WindowEntry> windows;
    std::map<WindowID, std::vector<WindowEntry>> above;

    std::optional<WindowEntry> window(WindowID id) override {
        const auto it = windows.find(id);
        if (it == windows.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::vector<WindowEntry>> windowsAbove(WindowID id) override {
        const auto it = above.find(id);
        if (it == above.end()) return std::nullopt;
        return it->second;
    }
};

TEST(WindowSystem, WindowBoundsAskOnScreenOnlyWhenTold) {
    ScriptedWindows list;
    const Rect bounds{10, 20, 640, 400};
    list.windows[1] = WindowEntry{.id = 1, .bounds = bounds, .onScreen = true};
    list.windows[2] = WindowEntry{.id = 2, .bounds = bounds, .onScreen = false};
    list.windows[3] = WindowEntry{.id = 3, .onScreen = true};

    struct Case {
        std::string_view name;
        WindowID id;
        bool onScreenOnly;
        std::optional<Rect> want;
    };
    const Case kCases[] = {
        {"on screen", 1, true, bounds},
        {"on screen, any state", 1, false, bounds},
        {"minimized, on screen only", 2, true, std::nullopt},
        {"minimized, any state", 2, false, bounds},
        {"no bounds", 3, false, std::nullopt},
        {"no such window", 9, false, std::nullopt},
        {"no such window, on screen only", 9, true, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(windowBounds(list, c.id, c.onScreenOnly), c.want);
    }
}

TEST(WindowSystem, IsCoveredAtTakesAnyCoveringWindowAbove) {
    ScriptedWindows list;
    auto own = coveringEntry();
    own.ownerPID = kOwnPID;
    auto floating = coveringEntry();
    floating.layer = 1;
    list.above[1] = {own, floating};
    list.above[2] = {own, coveringEntry()};

    EXPECT_FALSE(isCoveredAt(list, 1, kOwnPID, {150, 80})) << "only own and floating windows";
    EXPECT_TRUE(isCoveredAt(list, 2, kOwnPID, {150, 80})) << "an ordinary window behind an own one";
    EXPECT_FALSE(isCoveredAt(list, 2, kOwnPID, {10, 10})) << "a point outside every window";
    EXPECT_FALSE(isCoveredAt(list, 3, kOwnPID, {150, 80})) << "a list that can't be read";
}

}  // namespace
}  // namespace platform
