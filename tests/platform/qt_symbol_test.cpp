#include "platform/qt/qt_symbol.hpp"

#include <QRectF>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace platform {
namespace {

// Every view that shows the program's mark draws this one artwork, bundled with the Qt layer:
// the status box and the request panel as well as the tray panel and the welcome window.
TEST(GlyphArtwork, IsBundledWithTheQtLayer) {
    QSvgRenderer renderer(kGlyphPath);
    ASSERT_TRUE(renderer.isValid()) << kGlyphPath.toStdString();
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 30, 26)) << "the ring, the dot and the pointer";
}

}  // namespace
}  // namespace platform
