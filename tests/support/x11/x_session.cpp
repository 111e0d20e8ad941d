#include "tests/support/x11/x_session.hpp"

#include "tests/support/required_peer.hpp"
#include "tests/support/x11/shown_windows.hpp"

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace test_support {

namespace {

std::string readFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06x", value);
    return text;
}

}  // namespace

std::optional<XSession> XSession::find() {
    const char* folder = std::getenv("VANTOR_X_SESSION");
    if (folder == nullptr || *folder == '\0') return std::nullopt;
    XSession session;
    session.display = readFirstLine(std::string(folder) + "/display");
    session.artifactsDir = readFirstLine(std::string(folder) + "/artifacts");
    if (session.display.empty()) return std::nullopt;
    return session;
}

std::vector<std::string> XSession::environment() const {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        if (text.starts_with("DISPLAY=")) continue;
        result.emplace_back(text);
    }
    result.push_back("DISPLAY=" + display);
    return result;
}

ToolResult XSession::run(const std::vector<std::string>& argv) const {
    return runTool(argv, environment());
}

std::string XSession::runChecked(const std::vector<std::string>& argv) const {
    auto result = run(argv);
    std::string command;
    for (const auto& arg : argv) command += arg + " ";
    EXPECT_EQ(result.exitCode, 0) << command << "printed: " << result.output;
    return result.output;
}

std::vector<std::uint32_t> XSession::windowsOf(pid_t pid) const {
    const auto found = run({"xdotool", "search", "--pid", std::to_string(pid)});
    std::vector<std::uint32_t> ids;
    std::istringstream text(found.output);
    for (std::uint32_t id = 0; text >> id;) ids.push_back(id);
    return ids;
}

bool XSession::answersPing(pid_t pid, std::chrono::milliseconds timeout) const {
    const auto windows = windowsOf(pid);
    return !windows.empty() && test_support::answersPing(display, windows, timeout);
}

bool XSession::inTray(std::uint32_t window) const {
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(display.c_str(), nullptr),
                                                                                &xcb_disconnect);
    return xcb_connection_has_error(connection.get()) == 0 &&
           insideWindowOfClass(connection.get(), window, "Trayer");
}

std::string XSession::saveScreenshot(const platform::FrameImage& image,
                                     const std::string& name) const {
    const auto raw = artifactsDir + "/" + name + ".bgra";
    const auto png = artifactsDir + "/" + name + ".png";
    {
        std::ofstream file(raw, std::ios::binary);
        for (int y = 0; y < image.height; ++y) {
            file.write(reinterpret_cast<const char*>(image.pixels->data()) +
                           static_cast<std::ptrdiff_t>(y) * image.bytesPerRow,
                       static_cast<std::streamsize>(image.width) * 4);
        }
    }
    const auto size = std::to_string(image.width) + "x" + std::to_string(image.height);
    const auto result = run({"convert", "-size", size, "-depth", "8", "bgra:" + raw, png});
    unlink(raw.c_str());
    EXPECT_EQ(result.exitCode, 0) << "convert couldn't write " << png << ": " << result.output;
    return png;
}

std::string XSession::saveScreen(const std::string& name) const {
    const auto png = artifactsDir + "/" + name + ".png";
    const auto result = run({"import", "-window", "root", png});
    EXPECT_EQ(result.exitCode, 0) << "import couldn't write " << png << ": " << result.output;
    return png;
}

TestWindow::TestWindow(const XSession& session, const TestWindowOptions& options)
    : display_(session.display) {
    const auto& b = options.bounds;
    std::vector<std::string> argv = {
        VANTOR_TEST_WINDOW,
        "--title", options.title,
        "--geometry", std::to_string(static_cast<int>(b.width)) + "x" +
                          std::to_string(static_cast<int>(b.height)) + "+" +
                          std::to_string(static_cast<int>(b.x)) + "+" +
                          std::to_string(static_cast<int>(b.y)),
        "--color", hex(options.color),
        "--typed-color", hex(options.typedColor)};
    if (options.opacity) argv.insert(argv.end(), {"--opacity", std::to_string(*options.opacity)});
    if (!options.type.empty()) argv.insert(argv.end(), {"--type", options.type});
    if (options.above) argv.push_back("--above");
    if (options.undecorated) argv.push_back("--undecorated");
    if (options.overrideRedirect) argv.push_back("--override-redirect");

    process_ = std::make_unique<ChildProcess>(argv, session.environment());
    const auto line = process_->readLine(std::chrono::seconds(10));
    if (!line) throw std::runtime_error("the test window didn't appear");
    id_ = static_cast<platform::WindowID>(std::stoul(*line, nullptr, 16));
}

TestWindow::~TestWindow() { kill(); }

void TestWindow::kill() {
    if (killed_) return;
    killed_ = true;
    process_->kill();
    xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
    const auto exists = [&] {
        auto* reply = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, id_), nullptr);
        const bool found = reply != nullptr;
        std::free(reply);
        return found;
    };
    EXPECT_TRUE(xcb_connection_has_error(connection) == 0 && eventually([&] { return !exists(); }))
        << "the window " << id_ << " outlived its program";
    xcb_disconnect(connection);
}

std::string TestWindow::idText() const { return std::to_string(id_); }

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void XTest::SetUp() {
    requirePeer(std::getenv("VANTOR_X_SESSION") != nullptr,
                "needs the X session of the CTest fixture: run it with ctest -L x11");
    if (IsSkipped() || HasFatalFailure()) return;
    session_ = XSession::find();
    ASSERT_TRUE(session_) << "the X session fixture isn't running (no display in "
                          << std::getenv("VANTOR_X_SESSION") << ")";
    session_->runChecked({"xdotool", "mousemove", "--screen", "0", "1599", "0"});
}

}  // namespace test_support
