#include "platform/qt/qt_label_panel.hpp"

#include "tests/support/offscreen_application.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace platform {
namespace {

// Labels laid out off screen: no display needed.
class MarkLabelTest : public ::testing::Test {
protected:
    static QApplication& application() { return test_support::offscreenApplication(); }

    std::unique_ptr<MarkLabelWidget> label(const MarkLabelContent& content) {
        application();
        return std::make_unique<MarkLabelWidget>(content, OverlayLook::masked, [this] { ++copies; },
                                                 [this] { ++dones; });
    }

    static QStringList texts(const QWidget& widget) {
        QStringList result;
        for (const auto* line : widget.findChildren<QLabel*>()) result.push_back(line->text());
        return result;
    }

    static QAbstractButton* button(const QWidget& widget, const QString& text) {
        for (auto* candidate : widget.findChildren<QAbstractButton*>()) {
            if (candidate->text() == text) return candidate;
        }
        return nullptr;
    }

    // waitFor: turns the event loop until condition holds, for at most three seconds.
    static bool waitFor(const std::function<bool()>& condition) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > 3000) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    int copies = 0;
    int dones = 0;
};

TEST_F(MarkLabelTest, WithNothingToShowHasOnlyTheDoneButton) {
    const auto widget = label({});
    const auto buttons = widget->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->accessibleName(), "Done");
    EXPECT_EQ(buttons[0]->toolTip(), "Done");
    EXPECT_TRUE(texts(*widget).isEmpty());
    // 10 + 22 + 7 across, 6 + 22 + 6 down.
    EXPECT_EQ(widget->sizeHint(), QSize(39, 34));
    buttons[0]->click();
    EXPECT_EQ(dones, 1);
}

TEST_F(MarkLabelTest, AnEmptyTextShowsNoLineAndNoCopy) {
    const auto widget = label({2, "Name", ""});
    EXPECT_EQ(texts(*widget), QStringList{"Name"});
    EXPECT_EQ(button(*widget, "Copy"), nullptr);
}

TEST_F(MarkLabelTest, LongTextsWrapOntoTwoLinesAtMost260Wide) {
    const std::string caption(120, 'x');
    const auto widget = label({std::nullopt, "Open the Preferences window and pick " + caption, "short"});
    const auto lines = widget->findChildren<QLabel*>();
    ASSERT_EQ(lines.size(), 2);
    const auto first = lines[0]->text().split('\n');
    EXPECT_EQ(first.size(), 2);
    EXPECT_TRUE(first[1].endsWith(QChar(0x2026))) << "cut off with an ellipsis";
    EXPECT_LE(lines[0]->sizeHint().width(), 260);
    EXPECT_EQ(lines[1]->text(), "short");
}

TEST_F(MarkLabelTest, CopyReadsCopiedFor1Point5Seconds) {
    const auto widget = label({std::nullopt, "File name", "report.pdf"});
    auto* copy = button(*widget, "Copy");
    ASSERT_NE(copy, nullptr);
    const auto size = widget->sizeHint();
    copy->click();
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(copy->text(), "Copied");
    EXPECT_TRUE(widget->copied());
    EXPECT_EQ(widget->sizeHint(), size) << "room for Copied was kept from the start";
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitFor([&] { return copy->text() == "Copy"; }));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_FALSE(widget->copied());
}

}  // namespace
}  // namespace platform
