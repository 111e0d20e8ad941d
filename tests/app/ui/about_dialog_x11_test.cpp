#include "app/ui/about_dialog.hpp"

#include "tests/app/ui/ui_x11_fixture.hpp"

#include <QLabel>
#include <QPalette>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace app::ui::test {
namespace {

using namespace std::chrono_literals;

using AboutDialogX11Test = UIX11Test;

// Links drawn like the text around them read as text: they take the theme's link colour.
TEST_F(AboutDialogX11Test, LinksTakeTheLinkColour) {
    AboutDialog about({"1.4.2", [] { return std::string("mailto:support@vantormcp.app"); }, [](const QUrl&) {}});
    about.present();
    ASSERT_TRUE(pumpUntil([&] { return about.isVisible(); }));
    settle();
    const QString credits = about.credits().text();
    const QString linkColour = "color:" + about.palette().color(QPalette::Link).name(QColor::HexArgb);
    EXPECT_EQ(credits.count("<a "), 2) << credits.toStdString();
    EXPECT_EQ(credits.count(linkColour), 2) << "the two links, and not the note: " << credits.toStdString();
    EXPECT_EQ(test_support::clippedLabels(about), std::vector<std::string>{});
    saveScreen(about.frameGeometry().adjusted(-4, -4, 4, 4), "about-dialog-links");
}

}  // namespace
}  // namespace app::ui::test
