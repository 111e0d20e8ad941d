#include "platform/screens.hpp"

#include <algorithm>

namespace platform {

const Screen* screenContaining(const std::vector<Screen>& screens, Point point) {
    const auto found = std::find_if(screens.begin(), screens.end(),
                                    [&](const Screen& screen) { return screen.frame.contains(point); });
    return found == screens.end() ? nullptr : &*found;
}

}  // namespace platform
