#pragma once

#include "platform/screens.hpp"
#include "platform/windows.hpp"

#include <vector>

// Where the ring overlays put their windows for a spot, in the window list's coordinates.
namespace app {

// The ring window: 68 × 68, centred on the spot; the ring drawn in it is 44 across.
inline constexpr double kRingWindowSize = 68;
inline constexpr double kRingDiameter = 44;
// A label hangs this far below the spot (its top edge), or this far above it (its bottom edge).
inline constexpr double kLabelGap = 30;
// A label keeps this far inside the side and bottom edges of the screen under the spot.
inline constexpr double kLabelScreenMargin = 4;

// ringFrame: the ring window's frame for a spot.
platform::Rect ringFrame(platform::Point spot);

// labelFrame: the label's frame for a spot: centred under it, its top edge 30 below it. On the
// first screen that contains the spot it keeps 4 from both side edges (the left one wins when
// the label is wider than the screen allows), and it moves above the spot, its bottom edge 30
// above it, when it would come within 4 of the screen's bottom edge. Unchanged when no screen
// contains the spot.
platform::Rect labelFrame(platform::Point spot, platform::Size size,
                          const std::vector<platform::Screen>& screens);

}  // namespace app
