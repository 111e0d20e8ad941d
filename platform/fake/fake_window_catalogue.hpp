#pragma once

#include "platform/window_catalogue.hpp"

#include <optional>
#include <string>
#include <vector>

namespace platform {

// FakeWindowCatalogue: offers the entries the test sets, or fails with listError; records what
// it was asked. Pictures are a solid colour for every window. One thread.
class FakeWindowCatalogue final : public WindowCatalogue {
public:
    std::vector<Entry> list(const std::vector<int>& excludedPIDs, std::optional<WindowID> ownWindow) override;
    std::optional<FrameImage> picture(WindowID id) override;

    // entries: what list() offers, in order; the exclusions are not applied.
    std::vector<Entry> entries;
    // listError: when set, list() throws Error with this text.
    std::optional<std::string> listError;

    // lists: how often list() was called; lastExcludedPIDs and lastOwnWindow: its last arguments.
    int lists = 0;
    std::vector<int> lastExcludedPIDs;
    std::optional<WindowID> lastOwnWindow;
    // pictured: the windows whose picture was asked for, in order.
    std::vector<WindowID> pictured;
};

}  // namespace platform
