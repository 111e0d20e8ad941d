// capture_bench: the per-frame cost of capturing an 800 × 600 window: the shared-memory read of
// its redirected pixmap, and the change signature the frame holder computes for every frame.
// BM_CaptureAgainstRawRead sets the grabber beside the least any capture must do (the server
// writes the window into shared memory, and the pixels are copied out once, into a buffer made
// beforehand), in alternating frames so that both see the same load; its counter "ratio" is
// the grabber's time over that.
//
// Uses the X server of DISPLAY; without one it starts its own Xvfb, and skips (exit 0) when
// there is no Xvfb either.

#include "platform/latest_frame.hpp"
#include "platform/x11/x11_connection.hpp"
#include "platform/x11/x11_window_grabber.hpp"

#include <benchmark/benchmark.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// OwnServer: an Xvfb started for the benchmark, ended with it.
class OwnServer {
public:
    // start: none when Xvfb can't be started.
    static std::unique_ptr<OwnServer> start() {
        int pipeFDs[2];
        if (pipe(pipeFDs) != 0) return nullptr;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFDs[1], 3);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char xvfb[] = "Xvfb";
        char displayFD[] = "-displayfd";
        char three[] = "3";
        char screen[] = "-screen";
        char zero[] = "0";
        char size[] = "1024x768x24";
        char noTCP[] = "-nolisten";
        char tcp[] = "tcp";
        char* argv[] = {xvfb, displayFD, three, screen, zero, size, noTCP, tcp, nullptr};
        pid_t pid = -1;
        const int spawned = posix_spawnp(&pid, xvfb, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFDs[1]);
        if (spawned != 0) {
            close(pipeFDs[0]);
            return nullptr;
        }
        auto server = std::unique_ptr<OwnServer>(new OwnServer(pid));
        std::string number;
        pollfd fd{pipeFDs[0], POLLIN, 0};
        char ch = 0;
        while (poll(&fd, 1, 10000) > 0 && read(pipeFDs[0], &ch, 1) == 1 && ch != '\n') number += ch;
        close(pipeFDs[0]);
        if (number.empty()) return nullptr;
        server->display_ = ":" + number;
        return server;
    }

    ~OwnServer() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    const std::string& display() const { return display_; }

private:
    explicit OwnServer(pid_t pid) : pid_(pid) {}
    pid_t pid_;
    std::string display_;
};

// The window under test, made once in main().
xcb_connection_t* gConnection = nullptr;
xcb_window_t gWindow = 0;

xcb_window_t makeWindow(const platform::X11Connection& connection) {
    auto* c = connection.get();
    const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const auto window = xcb_generate_id(c);
    const std::uint32_t background = 0x3366CC;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection.root(), 10, 10, kWidth, kHeight,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      &background);
    xcb_map_window(c, window);
    const auto gc = xcb_generate_id(c);
    const std::uint32_t stripe = 0xCC6633;
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND, &stripe);
    std::vector<xcb_rectangle_t> stripes;
    for (int x = 0; x < kWidth; x += 40) stripes.push_back({static_cast<std::int16_t>(x), 0, 20, kHeight});
    xcb_poly_fill_rectangle(c, window, gc, static_cast<std::uint32_t>(stripes.size()), stripes.data());
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return window;
}

void BM_CaptureFrame(benchmark::State& state) {
    platform::X11WindowGrabber grabber(gConnection, gWindow);
    if (!grabber.usesSharedMemory()) {
        state.SkipWithError("the server offers no MIT-SHM 1.2");
        return;
    }
    for (auto _ : state) {
        auto pixels = grabber.grab(0, kWidth, kHeight, 24);
        if (!pixels) {
            state.SkipWithError("the grab failed");
            return;
        }
        benchmark::DoNotOptimize(pixels->data());
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_CaptureFrame)->Unit(benchmark::kMicrosecond);

// RawSharedMemoryRead: a shared-memory segment the window is read into, with nothing else done.
class RawSharedMemoryRead {
public:
    RawSharedMemoryRead() {
        const int fd = memfd_create("capture-bench", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, kSize) != 0) return;
        mapped_ = mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped_ == MAP_FAILED) {
            mapped_ = nullptr;
            close(fd);
            return;
        }
        segment_ = xcb_generate_id(gConnection);
        // xcb closes the descriptor once it is sent.
        auto* error = xcb_request_check(gConnection, xcb_shm_attach_fd_checked(gConnection, segment_, fd, 0));
        if (error != nullptr) {
            std::free(error);
            munmap(mapped_, kSize);
            mapped_ = nullptr;
        }
    }
    ~RawSharedMemoryRead() {
        if (mapped_ == nullptr) return;
        xcb_shm_detach(gConnection, segment_);
        munmap(mapped_, kSize);
    }

    bool usable() const { return mapped_ != nullptr; }

    // read: the window's pixels into the segment; false when the server refused.
    bool read() {
        auto* reply = xcb_shm_get_image_reply(
            gConnection,
            xcb_shm_get_image(gConnection, gWindow, 0, 0, kWidth, kHeight, 0xFFFFFFFF, XCB_IMAGE_FORMAT_Z_PIXMAP,
                              segment_, 0),
            nullptr);
        std::free(reply);
        return reply != nullptr;
    }

    const std::uint8_t* pixels() const { return static_cast<const std::uint8_t*>(mapped_); }

    static constexpr std::size_t kSize = std::size_t{kWidth} * kHeight * 4;

private:
    void* mapped_ = nullptr;
    std::uint32_t segment_ = 0;
};

void BM_CaptureAgainstRawRead(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    platform::X11WindowGrabber grabber(gConnection, gWindow);
    RawSharedMemoryRead raw;
    if (!grabber.usesSharedMemory() || !raw.usable()) {
        state.SkipWithError("the server offers no MIT-SHM 1.2");
        return;
    }
    std::vector<std::uint8_t> copy(RawSharedMemoryRead::kSize);
    Clock::duration rawTime{};
    Clock::duration captureTime{};
    for (auto _ : state) {
        const auto begin = Clock::now();
        if (!raw.read()) {
            state.SkipWithError("the raw read failed");
            return;
        }
        std::memcpy(copy.data(), raw.pixels(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        const auto middle = Clock::now();
        auto pixels = grabber.grab(0, kWidth, kHeight, 24);
        if (!pixels) {
            state.SkipWithError("the grab failed");
            return;
        }
        benchmark::DoNotOptimize(pixels->data());
        // Freed on the clock: a stream lets each frame go when the next one comes.
        pixels.reset();
        captureTime += Clock::now() - middle;
        rawTime += middle - begin;
    }
    const auto perFrame = [&](Clock::duration total) {
        return std::chrono::duration<double, std::micro>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["raw_us"] = perFrame(rawTime);
    state.counters["capture_us"] = perFrame(captureTime);
    state.counters["ratio"] = perFrame(captureTime) / perFrame(rawTime);
}
BENCHMARK(BM_CaptureAgainstRawRead)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_StoreFrame(benchmark::State& state) {
    auto pixels = std::make_shared<const std::vector<std::uint8_t>>(
        static_cast<std::size_t>(kWidth) * kHeight * 4, 0x80);
    const platform::FrameImage image{kWidth, kHeight, kWidth * 4, pixels};
    platform::LatestFrame frames;
    for (auto _ : state) {
        frames.store({platform::FrameStatus::complete, image});
    }
}
BENCHMARK(BM_StoreFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::unique_ptr<OwnServer> ownServer;
    std::string display;
    if (const char* given = std::getenv("DISPLAY"); given == nullptr || *given == '\0') {
        ownServer = OwnServer::start();
        if (!ownServer) {
            std::puts("capture_bench: skipped: no X server (DISPLAY unset and no Xvfb)");
            return 0;
        }
        display = ownServer->display();
    }
    std::optional<platform::X11Connection> connection;
    try {
        connection.emplace(display);
    } catch (const platform::Error& error) {
        std::printf("capture_bench: skipped: %s\n", error.what());
        return 0;
    }
    gConnection = connection->get();
    gWindow = makeWindow(*connection);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
