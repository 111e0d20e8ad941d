// The main road with the real program in the X session: an agent (curl against the host, and the
// --stdio bridge) asks to see a window and points in it; the user (xdotool) answers the request
// panel, picks the window in the picker and does what the rings show.

#include "tests/app/host/host_fixture.hpp"
#include "tests/app/program_fixture.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11/x_session.hpp"

#include "mcp/json/json.hpp"
#include "mcp/json/value.hpp"

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using test_support::eventually;
using test_support::kVantorMCP;
using test_support::ProgramHome;

constexpr std::string_view kToken = "00112233445566778899aabbccddeeff0011223344556677";
constexpr std::string_view kTitle = "Vantor E2E Window";
constexpr std::string_view kDeclinedText =
    "The user chose not to show a window. Don't ask again unless they tell you to.";
constexpr std::string_view kNoPictureText = "There's no picture to point at. Call look first.";
// Where things are in the test window, in its pixels.
constexpr int kButtonX = 260, kButtonY = 170;
constexpr int kFieldX = 320, kFieldY = 266;
constexpr QRgb kBackground = 0xFF3366CC;
constexpr QRgb kRed = 0xFFFF0000;
// How long to wait for something the program or the test window will do: generous, since the
// whole suite runs in parallel on a loaded machine, and never spent when things go right.
constexpr auto kEventWait = std::chrono::milliseconds(60s);

// hex: a pixel as 0xAARRGGBB, for failure messages.
std::string hex(QRgb pixel) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", pixel);
    return text;
}

// ToolReply: what a tools/call answered.
struct ToolReply {
    bool isError = true;
    std::string text;         // of the first item
    mcp::ValueObject facts;   // the text read as JSON, when it is an object
    std::optional<QImage> picture;
};

ToolReply readToolReply(const std::string& body) {
    ToolReply reply;
    const auto answer = mcp::parseJSON(body);
    const auto* result = answer.objectValue() ? answer.objectValue()->find("result") : nullptr;
    if (!result || !result->objectValue()) {
        reply.text = body;
        return reply;
    }
    const auto& fields = *result->objectValue();
    reply.isError = fields.find("isError") && fields.find("isError")->boolValue() == true;
    const auto* content = fields.find("content") ? fields.find("content")->arrayValue() : nullptr;
    if (!content) return reply;
    for (const auto& item : *content) {
        const auto& entry = *item.objectValue();
        if (*entry.find("type")->stringValue() == "text") {
            reply.text = *entry.find("text")->stringValue();
            try {
                const auto parsed = mcp::parseJSON(reply.text);
                if (parsed.objectValue()) reply.facts = *parsed.objectValue();
            } catch (const std::exception&) {
            }
        } else if (*entry.find("type")->stringValue() == "image") {
            const auto bytes = QByteArray::fromBase64(QByteArray::fromStdString(*entry.find("data")->stringValue()));
            QImage image;
            if (image.loadFromData(bytes, "PNG")) reply.picture = image.convertToFormat(QImage::Format_ARGB32);
        }
    }
    return reply;
}

std::string text(const mcp::ValueObject& facts, std::string_view key) {
    const auto* value = facts.find(key);
    return value && value->stringValue() ? *value->stringValue() : std::string();
}

std::int64_t integer(const mcp::ValueObject& facts, std::string_view key) {
    const auto* value = facts.find(key);
    return value && value->intValue() ? *value->intValue() : -1;
}

class MainRoadE2ETest : public test_support::XTest {
protected:
    void SetUp() override {
        XTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        port_ = app::testing::freePort();
        home_.configure(port_, std::string(kToken));
    }

    void TearDown() override {
        if (window_) window_.reset();
        home_.endPrograms();
        XTest::TearDown();
    }

    std::vector<std::string> environment() const { return home_.environment(session().display); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/mcp"; }

    // call: a tools/call as an agent posts it, answered once the user has done their part.
    ToolReply call(std::string_view tool, std::string_view arguments) {
        const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":")" +
                                 std::string(tool) + R"(","arguments":)" + std::string(arguments) + "}}";
        const auto result = test_support::runTool(
            {"curl", "-s", "--max-time", "150", "-H", "Authorization: Bearer " + std::string(kToken), "-H",
             "Content-Type: application/json", "-H", "Accept: application/json, text/event-stream", "-H",
             "X-Vantor-MCP-Client: E2E Agent", "--data-binary", body, url()},
            environment(), 160s);
        EXPECT_EQ(result.exitCode, 0) << "curl: " << result.output;
        return readToolReply(result.output);
    }
    std::future<ToolReply> callLater(std::string tool, std::string arguments) {
        return std::async(std::launch::async, [this, tool, arguments] { return call(tool, arguments); });
    }

    // visible: the ids of the program's visible windows of that exact title.
    std::vector<std::string> visible(std::string_view title) {
        const auto found = session().run({"xdotool", "search", "--onlyvisible", "--name", "^" + std::string(title) + "$"});
        std::vector<std::string> ids;
        std::size_t start = 0;
        while (start < found.output.size()) {
            const auto end = found.output.find('\n', start);
            const auto line = found.output.substr(start, end - start);
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) ids.push_back(line);
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return ids;
    }

    // focus: activates the window and waits until it has the keyboard.
    void focus(const std::string& id) {
        session().run({"xdotool", "windowactivate", "--sync", id});
        std::string active;
        EXPECT_TRUE(eventually(
            [&] {
                active = session().run({"xdotool", "getactivewindow"}).output;
                active = active.substr(0, active.find('\n'));
                return active == id;
            },
            kEventWait))
            << "window " << id << " should take the focus; the active window is " << active;
    }

    // windowOrigin: the top-left corner of the test window's content on screen.
    std::pair<int, int> windowOrigin() {
        const auto info = session().runChecked({"xwininfo", "-id", windowID_});
        std::smatch x, y;
        const std::regex px(R"(Absolute upper-left X:\s+(-?\d+))"), py(R"(Absolute upper-left Y:\s+(-?\d+))");
        EXPECT_TRUE(std::regex_search(info, x, px) && std::regex_search(info, y, py)) << info;
        return {x.empty() ? 0 : std::stoi(x[1]), y.empty() ? 0 : std::stoi(y[1])};
    }

    // geometry: a window's left, top, width and height on screen.
    std::array<int, 4> geometry(const std::string& id) {
        const auto shell = session().runChecked({"xdotool", "getwindowgeometry", "--shell", id});
        std::array<int, 4> values{};
        const char* keys[] = {"X=", "Y=", "WIDTH=", "HEIGHT="};
        for (int index = 0; index < 4; ++index) {
            const auto at = shell.find(std::string("\n") + keys[index]);
            const auto start = at == std::string::npos ? shell.find(keys[index]) : at + 1;
            EXPECT_NE(start, std::string::npos) << shell;
            if (start != std::string::npos) values[index] = std::stoi(shell.substr(start + std::strlen(keys[index])));
        }
        return values;
    }

    void clickAt(int x, int y) {
        session().runChecked({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
        session().runChecked({"xdotool", "click", "1"});
    }

    // waitForLine: reads the test window's output until the line comes; a failure lists the
    // lines that came instead.
    ::testing::AssertionResult waitForLine(const std::string& wanted) {
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        std::string seen;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto line = window_->readLine(1s);
            if (line == wanted) return ::testing::AssertionSuccess();
            if (line) seen += " \"" + *line + "\"";
        }
        return ::testing::AssertionFailure() << "the test window said" << (seen.empty() ? " nothing" : seen)
                                             << ", not \"" << wanted << "\"";
    }

    // labels: the frames of the visible ring labels, for failure messages.
    std::string describeLabels() {
        std::string frames;
        for (const auto& id : visible("Vantor MCP Label")) {
            const auto frame = geometry(id);
            frames += " " + id + " at " + std::to_string(frame[0]) + "," + std::to_string(frame[1]) + " " +
                      std::to_string(frame[2]) + "x" + std::to_string(frame[3]);
        }
        return frames.empty() ? " none" : frames;
    }

    // startAll: the test window, painted, and the program, listening.
    void startAll() {
        window_ = std::make_unique<ChildProcess>(std::vector<std::string>{VANTOR_E2E_WINDOW}, environment());
        const auto id = window_->readLine(kEventWait);
        ASSERT_TRUE(id && id->rfind("0x", 0) == 0)
            << "the test window should say its id once painted; it said " << id.value_or("nothing");
        windowID_ = *id;
        program_ = std::make_unique<ChildProcess>(std::vector<std::string>{kVantorMCP}, environment());
        ASSERT_TRUE(eventually(
            [&] {
                return test_support::runTool({"curl", "-s", "-o", "/dev/null", "-X", "POST", url()}, environment(), 5s)
                           .exitCode == 0;
            },
            20s))
            << "the program should listen";
    }

    // shareTheWindow: answers a request on screen with "Share for 5 Minutes" (or declines it)
    // and picks the test window in the picker.
    void answerRequest(bool share, const std::string& screenshot) {
        ASSERT_TRUE(eventually([&] { return !visible("Vantor MCP").empty(); }, kEventWait)) << "the request panel";
        session().saveScreen(screenshot);
        const auto panel = visible("Vantor MCP").front();
        focus(panel);
        if (!share) {
            session().runChecked({"xdotool", "key", "Escape"});
            return;
        }
        // "Share Once" has the focus; the next button is "Share for 5 Minutes".
        session().runChecked({"xdotool", "key", "Tab"});
        session().runChecked({"xdotool", "key", "space"});
        ASSERT_TRUE(eventually([&] { return !visible("Choose a window to share").empty(); }, kEventWait))
            << "the picker";
        focus(visible("Choose a window to share").front());
        session().saveScreen(screenshot + "-picker");
        session().runChecked({"xdotool", "type", "--delay", "30", "E2E Window"});
        session().runChecked({"xdotool", "key", "Return"});
    }

    void savePicture(const QImage& picture, const std::string& name) {
        picture.save(QString::fromStdString(session().artifactsDir + "/" + name + ".png"));
    }

    ProgramHome home_;
    unsigned short port_ = 0;
    std::unique_ptr<ChildProcess> window_;
    std::unique_ptr<ChildProcess> program_;
    std::string windowID_;
};

TEST_F(MainRoadE2ETest, LookPointLookAgainFinish) {
    ASSERT_NO_FATAL_FAILURE(startAll());

    // look: the panel, "Share for 5 Minutes", the test window picked.
    auto looking = callLater("look", R"({"reason":"To find the export button."})");
    ASSERT_NO_FATAL_FAILURE(answerRequest(true, "e2e-01-request-panel"));
    ASSERT_EQ(looking.wait_for(60s), std::future_status::ready) << "the look should answer";
    const auto looked = looking.get();
    ASSERT_FALSE(looked.isError) << looked.text;
    EXPECT_EQ(text(looked.facts, "window"), kTitle) << looked.text;
    EXPECT_FALSE(text(looked.facts, "app").empty()) << looked.text;
    EXPECT_EQ(integer(looked.facts, "width"), 640);
    EXPECT_EQ(integer(looked.facts, "height"), 400);
    EXPECT_GE(integer(looked.facts, "shared_for_seconds"), 290) << looked.text;
    EXPECT_EQ(text(looked.facts, "pointing"), "point takes x and y in this picture's pixels, from its top left corner");
    ASSERT_TRUE(looked.picture) << "a PNG picture";
    savePicture(*looked.picture, "e2e-02-first-picture");
    EXPECT_EQ(looked.picture->size(), QSize(640, 400));
    EXPECT_EQ(hex(looked.picture->pixel(600, 380)), hex(kBackground)) << "the background, at 600, 380";
    EXPECT_EQ(hex(looked.picture->pixel(30, 30)), hex(kRed)) << "the red square, at 30, 30";
    session().saveScreen("e2e-02-shared");

    // point with wait: two rings; the first click reaches the button, the text goes into the field.
    auto pointing = callLater(
        "point", R"({"spots":[{"x":260,"y":170,"label":"Export"},{"x":320,"y":266,"label":"Name","text":"hello e2e"}],)"
                 R"("wait":true,"message":"Export the file"})");
    std::size_t rings = 0;
    ASSERT_TRUE(eventually([&] { return (rings = visible("Vantor MCP Ring").size()) == 2; }, kEventWait))
        << "two rings; " << rings << " are shown";
    EXPECT_FALSE(visible("Vantor MCP Status").empty()) << "the status box";
    session().saveScreen("e2e-03-rings");
    const auto [left, top] = windowOrigin();
    clickAt(left + kButtonX, top + kButtonY);
    EXPECT_TRUE(waitForLine("clicked Export")) << "the click reaches the button under the ring";
    EXPECT_TRUE(eventually([&] { return (rings = visible("Vantor MCP Ring").size()) == 1; }, kEventWait))
        << "the first ring ends; " << rings << " are shown";
    // The second ring's label: it hangs below the field's spot, the first ring's above it. Its
    // Copy button sits left of its tick.
    std::optional<std::array<int, 4>> label;
    const auto secondLabel = [&, fieldTop = top + kFieldY] {
        label.reset();
        for (const auto& id : visible("Vantor MCP Label")) {
            const auto frame = geometry(id);
            if (frame[1] > fieldTop) label = frame;
        }
        return label.has_value();
    };
    ASSERT_TRUE(eventually(secondLabel, kEventWait)) << "the second ring's label; labels shown:" << describeLabels();
    clickAt((*label)[0] + (*label)[2] - 78, (*label)[1] + (*label)[3] / 2);
    std::string clipboard;
    EXPECT_TRUE(eventually(
        [&] { return (clipboard = session().run({"xclip", "-o", "-selection", "clipboard"}).output) == "hello e2e"; },
        kEventWait))
        << "Copy puts the text on the clipboard; it holds \"" << clipboard << "\"";
    clickAt(left + kFieldX, top + kFieldY);
    session().runChecked({"xdotool", "key", "ctrl+v"});
    EXPECT_TRUE(waitForLine("text: hello e2e")) << "the pasted text in the field";
    session().saveScreen("e2e-04-typed");
    session().runChecked({"xdotool", "mousemove", "--sync", "1500", "60"});
    ASSERT_EQ(pointing.wait_for(60s), std::future_status::ready) << "the point should answer once both are done";
    const auto pointed = pointing.get();
    ASSERT_FALSE(pointed.isError) << pointed.text;
    EXPECT_EQ(text(pointed.facts, "user"), "did it") << pointed.text;
    EXPECT_FALSE(pointed.facts.contains("next")) << pointed.text;
    ASSERT_TRUE(pointed.picture) << "a fresh picture, as the share is kept";
    savePicture(*pointed.picture, "e2e-05-fresh-picture");
    // The field shows the text now: its inside differs from the first picture's.
    int changed = 0;
    for (int x = 204; x < 436; ++x) {
        for (int y = 254; y < 278; ++y) changed += pointed.picture->pixel(x, y) != looked.picture->pixel(x, y);
    }
    EXPECT_GT(changed, 20) << "the typed text in the field; pixels changed there: " << changed;

    // A second look uses the kept share: no panel.
    auto again = callLater("look", R"({"reason":"To see the result."})");
    bool panelSeen = false;
    while (again.wait_for(100ms) != std::future_status::ready) panelSeen = panelSeen || !visible("Vantor MCP").empty();
    const auto second = again.get();
    ASSERT_FALSE(second.isError) << second.text;
    EXPECT_FALSE(panelSeen) << "no request for a kept share";
    EXPECT_EQ(text(second.facts, "window_when_picked"), kTitle) << second.text;
    EXPECT_LT(integer(second.facts, "shared_for_seconds"), 300);

    // finish: the rings go, the closing words show, then the box goes; a point has no picture.
    const auto finished = call("finish", R"({"message":"All done."})");
    EXPECT_FALSE(finished.isError);
    EXPECT_EQ(finished.text, R"({"finished":true,"sharing":"ended"})");
    EXPECT_TRUE(visible("Vantor MCP Ring").empty());
    // The closing words show for 6 s.
    EXPECT_TRUE(eventually([&] { return !visible("Vantor MCP Status").empty(); }, 3s)) << "the closing words";
    session().saveScreen("e2e-06-finished");
    EXPECT_TRUE(eventually([&] { return visible("Vantor MCP Status").empty(); }, kEventWait)) << "the box goes";
    const auto late = call("point", R"({"x":10,"y":20})");
    EXPECT_TRUE(late.isError);
    EXPECT_EQ(late.text, kNoPictureText);
    session().saveScreen("e2e-07-after");
}

TEST_F(MainRoadE2ETest, ALookDeclinedThroughTheBridgeGivesTheDeclinedText) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    const auto input = home_.folder() / "bridge-input";
    {
        std::ofstream out(input);
        out << R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18",)"
               R"("capabilities":{},"clientInfo":{"name":"E2E Bridge","version":"1"}}})"
            << '\n'
            << R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"look","arguments":)"
               R"({"reason":"To check the settings."}}})"
            << '\n';
    }
    auto env = environment();
    env.push_back("IN=" + input.string());
    auto bridge = std::async(std::launch::async, [env] {
        return test_support::runTool({"sh", "-c", R"(exec "$0" --stdio <"$IN")", kVantorMCP}, env, 90s);
    });
    ASSERT_NO_FATAL_FAILURE(answerRequest(false, "e2e-08-bridge-request"));
    ASSERT_EQ(bridge.wait_for(60s), std::future_status::ready);
    const auto result = bridge.get();
    EXPECT_EQ(result.exitCode, 0);
    const auto lastLine = result.output.substr(result.output.rfind('\n', result.output.size() - 2) + 1);
    const auto reply = readToolReply(lastLine);
    EXPECT_TRUE(reply.isError) << result.output;
    EXPECT_EQ(reply.text, kDeclinedText) << result.output;
}

}  // namespace
