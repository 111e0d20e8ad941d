#include "platform/fake/fake_window_catalogue.hpp"

#include "platform/error.hpp"
#include "platform/fake/fake_capture.hpp"

namespace platform {

std::vector<WindowCatalogue::Entry> FakeWindowCatalogue::list(const std::vector<int>& excludedPIDs,
                                                              std::optional<WindowID> ownWindow) {
    ++lists;
    lastExcludedPIDs = excludedPIDs;
    lastOwnWindow = ownWindow;
    if (listError) throw Error(*listError);
    return entries;
}

std::optional<FrameImage> FakeWindowCatalogue::picture(WindowID id) {
    pictured.push_back(id);
    return solidImage(8, 6);
}

}  // namespace platform
