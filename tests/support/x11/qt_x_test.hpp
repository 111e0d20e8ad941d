#pragma once

#include "tests/support/x11/shown_windows.hpp"
#include "tests/support/x11/x_session.hpp"

#include "platform/frame.hpp"
#include "platform/window_system.hpp"
#include "platform/x11/x11_connection.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// QtXTest: the base of tests whose own Qt windows run on the fixture's X session. The process
// has one QApplication, made for the session's display by the first test that needs it; the
// test's thread is its main thread, and the test turns the event loop while it waits.
class QtXTest : public XTest {
protected:
    void SetUp() override;
    // TearDown: turns the loop a little, so that windows deleted later go before the next test.
    void TearDown() override;

    // pumpUntil: runs the event loop until condition holds or timeout passes.
    bool pumpUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // pump: runs the event loop for a while.
    void pump(std::chrono::milliseconds duration);
    // settle: turns the event loop until this process has handled every event the X server sent
    // it before now (it answers a ping sent to a window of its own), and what that handling
    // posted: a click or key sent before has had its effect, the exposed windows are painted.
    // For checks that something did NOT happen, and for pictures of what the screen shows.
    void settle();

    // click: moves the pointer to a point of the screen and clicks the left button there.
    void click(platform::Point at);

    // ClickTarget: where a click must land: a window (of any program), the place of its
    // top-left corner on the screen that the test counts on, and the point to click.
    struct ClickTarget {
        std::uint32_t window = 0;
        platform::Point origin;
        platform::Point at;
    };
    // clickOn: clicks the left button at target's point once the X server shows its window
    // there: viewable, at the expected place, and under the pointer moved to the point. A window
    // still being mapped or placed, or a tray icon the tray hasn't taken in yet, would let the
    // click land on whatever lies below. target is asked again on each try, for a window that
    // moves meanwhile. When that doesn't come within timeout, fails the test, saying where the
    // window was and what the pointer was over, and returns false.
    bool clickOn(const std::function<ClickTarget()>& target, const std::string& what,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // clickAt: clicks the left button in the middle of a shown widget of this process, or at a
    // point of it, once the X server shows the widget's window where Qt placed it (clickOn).
    void clickAt(const QWidget& widget);
    void clickAt(const QWidget& widget, QPoint at);
    // windowsTitled: the frames of the shown windows titled exactly title, as the X server has
    // them.
    std::vector<platform::Rect> windowsTitled(const std::string& title);
    // grab: what the screen shows in rect.
    platform::FrameImage grab(platform::Rect rect);

    // x: a connection of the test's own to the session, from SetUp on.
    std::optional<platform::X11Connection> x;
};

// clippedLabels: the visible labels of window whose text doesn't fit the room the layout gave
// them (a label that wraps needs its height for its width, any other its size hint), each
// described with its text and sizes; empty when every text is whole.
std::vector<std::string> clippedLabels(const QWidget& window);

// Defined here, so that a test program needs no library beyond Qt and the X layer it links.

inline std::vector<std::string> clippedLabels(const QWidget& window) {
    std::vector<std::string> clipped;
    for (const auto* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty()) continue;
        const QSize room = label->size();
        const QSize hint = label->sizeHint();
        const int neededHeight = label->hasHeightForWidth() ? label->heightForWidth(room.width()) : hint.height();
        const bool widthFits = label->hasHeightForWidth() || hint.width() <= room.width();
        if (widthFits && neededHeight <= room.height()) continue;
        std::ostringstream text;
        text << '"' << label->text().toStdString() << "\" needs " << hint.width() << "x" << neededHeight << ", has "
             << room.width() << "x" << room.height();
        clipped.push_back(text.str());
    }
    return clipped;
}

namespace detail {

// ensureApplication: the process's one QApplication, for the session's display.
inline void ensureApplication(const std::string& display) {
    if (QCoreApplication::instance() != nullptr) return;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "qt_x_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

}  // namespace detail

inline void QtXTest::SetUp() {
    XTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    detail::ensureApplication(session().display);
    x.emplace(session().display);
}

inline void QtXTest::TearDown() {
    if (QCoreApplication::instance() != nullptr) pump(std::chrono::milliseconds(50));
    XTest::TearDown();
}

inline bool QtXTest::pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

inline void QtXTest::pump(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

inline void QtXTest::settle() {
    // A window of this process that is never shown: it answers pings all the same.
    static QWidget* const pinged = [] {
        auto* widget = new QWidget;
        widget->winId();
        return widget;
    }();
    const auto window = static_cast<xcb_window_t>(pinged->winId());
    const std::string display = session().display;
    // Twice: the second answer also sends the server the requests (a window moved, painted)
    // that the events handled before the first one posted for later.
    for (int round = 0; round < 2; ++round) {
        auto answered = std::async(std::launch::async, [display, window] { return answersPing(display, {window}); });
        ASSERT_TRUE(pumpUntil([&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                              std::chrono::seconds(10)) &&
                    answered.get())
            << "this process didn't answer its own ping";
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

inline void QtXTest::click(platform::Point at) {
    session().runChecked({"xdotool", "mousemove", std::to_string(static_cast<int>(at.x)),
                          std::to_string(static_cast<int>(at.y)), "click", "1"});
}

inline bool QtXTest::clickOn(const std::function<ClickTarget()>& target, const std::string& what,
                             std::chrono::milliseconds timeout) {
    auto* c = x->get();
    std::string seen;
    const bool ready = pumpUntil(
        [&] {
            const auto wanted = target();
            const auto shown = shownWindow(c, wanted.window);
            if (!shown || !shown->viewable || shown->x != int(wanted.origin.x) || shown->y != int(wanted.origin.y)) {
                seen = describeWindow(c, wanted.window) + ", expected at +" + std::to_string(int(wanted.origin.x)) +
                       "+" + std::to_string(int(wanted.origin.y));
                return false;
            }
            xcb_warp_pointer(c, XCB_WINDOW_NONE, x->root(), 0, 0, 0, 0, static_cast<std::int16_t>(wanted.at.x),
                             static_cast<std::int16_t>(wanted.at.y));
            const auto under = windowsUnderPointer(c, x->root());
            if (std::find(under.begin(), under.end(), wanted.window) != under.end()) return true;
            seen = "the pointer at " + std::to_string(int(wanted.at.x)) + "," + std::to_string(int(wanted.at.y)) +
                   " is over " + (under.empty() ? std::string("the root") : describeWindow(c, under.back())) +
                   ", not over " + describeWindow(c, wanted.window);
            return false;
        },
        timeout);
    if (!ready) {
        ADD_FAILURE() << "couldn't click " << what << ": " << seen;
        return false;
    }
    session().runChecked({"xdotool", "click", "1"});
    return true;
}

inline void QtXTest::clickAt(const QWidget& widget) {
    clickAt(widget, widget.rect().center());
}

inline void QtXTest::clickAt(const QWidget& widget, QPoint at) {
    const auto point = [](QPoint p) { return platform::Point{double(p.x()), double(p.y())}; };
    const auto what = widget.metaObject()->className() + (" " + widget.objectName().toStdString());
    clickOn(
        [&] {
            const QWidget* window = widget.window();
            return ClickTarget{std::uint32_t(window->winId()), point(window->mapToGlobal(QPoint(0, 0))),
                               point(widget.mapToGlobal(at))};
        },
        what);
}

inline std::vector<platform::Rect> QtXTest::windowsTitled(const std::string& title) {
    const auto found = session().run({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
    std::vector<platform::Rect> frames;
    std::istringstream ids(found.output);
    for (std::uint32_t id = 0; ids >> id;) {
        if (const auto shown = shownWindow(x->get(), id)) {
            frames.push_back({double(shown->x), double(shown->y), double(shown->width), double(shown->height)});
        }
    }
    return frames;
}

inline platform::FrameImage QtXTest::grab(platform::Rect rect) {
    auto* c = x->get();
    const auto image = platform::xcbReply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, x->root(), static_cast<std::int16_t>(rect.x),
                      static_cast<std::int16_t>(rect.y), static_cast<std::uint16_t>(rect.width),
                      static_cast<std::uint16_t>(rect.height), ~0u),
        xcb_get_image_reply);
    platform::FrameImage frame;
    if (!image) return frame;
    frame.width = static_cast<int>(rect.width);
    frame.height = static_cast<int>(rect.height);
    frame.bytesPerRow = frame.width * 4;
    const auto* data = xcb_get_image_data(image.get());
    std::vector<std::uint8_t> pixels(data, data + xcb_get_image_data_length(image.get()));
    pixels.resize(static_cast<std::size_t>(frame.bytesPerRow) * static_cast<std::size_t>(frame.height));
    // The root has no alpha channel: every pixel is opaque.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    frame.pixels = std::make_shared<const std::vector<std::uint8_t>>(std::move(pixels));
    return frame;
}

// rgb: a pixel of the image as 0xRRGGBB.
inline std::uint32_t rgb(const platform::FrameImage& image, int x, int y) {
    const auto* p = image.pixels->data() + static_cast<std::ptrdiff_t>(y) * image.bytesPerRow + x * 4;
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

}  // namespace test_support
