#include "platform/x11/x11_window_grabber.hpp"

#include "platform/capture_error.hpp"
#include "platform/x11/detail/xcb_error.hpp"
#include "platform/x11/x11_connection.hpp"

#include <xcb/composite.h>
#include <xcb/shm.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr std::uint32_t kAllPlanes = 0xFFFFFFFF;
constexpr std::uint32_t kOpaqueAlpha = 0xFF000000;

bool versionAtLeast(unsigned major, unsigned minor, unsigned wantMajor, unsigned wantMinor) {
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
}

// makeOpaque: alpha 255 in every pixel, a word at a time so that the compiler can do many at
// once.
void makeOpaque(std::uint8_t* pixels, std::size_t pixelCount) {
    for (std::size_t i = 0; i < pixelCount; ++i) {
        std::uint32_t value = 0;
        std::memcpy(&value, pixels + i * 4, 4);
        value |= kOpaqueAlpha;
        std::memcpy(pixels + i * 4, &value, 4);
    }
}

// copyPixels: the image out of the server's buffer, alpha set to opaque unless the window
// carries its own. The vector is made from the bytes themselves: filling it with zeros first
// would cost as much as the copy.
std::vector<std::uint8_t> copyPixels(const std::uint8_t* source, std::size_t pixelCount,
                                     bool hasAlpha) {
    std::vector<std::uint8_t> pixels(source, source + pixelCount * 4);
    if (!hasAlpha) makeOpaque(pixels.data(), pixelCount);
    return pixels;
}

}  // namespace

X11WindowGrabber::X11WindowGrabber(xcb_connection_t* connection, xcb_window_t window)
    : connection_(connection), window_(window) {
    const auto* composite = xcb_get_extension_data(connection_, &xcb_composite_id);
    if (composite == nullptr || composite->present == 0) {
        throw std::system_error(CaptureError::extensionMissing);
    }
    const auto version = xcbReply(connection_, xcb_composite_query_version(connection_, 0, 4),
                                  xcb_composite_query_version_reply);
    if (!version || !versionAtLeast(version->major_version, version->minor_version, 0, 2)) {
        throw std::system_error(CaptureError::extensionMissing);
    }
    const auto* setup = xcb_get_setup(connection_);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        throw std::system_error(CaptureError::captureFailed);
    }

    const auto error = detail::checkRequest(
        connection_, xcb_composite_redirect_window_checked(connection_, window_, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    if (error) throw std::system_error(detail::captureErrorOf(*error));
    // The new pixmap starts with what was visible on screen; an Expose of the whole window
    // makes its client paint the parts that were covered.
    xcb_clear_area(connection_, 1, window_, 0, 0, 0, 0);

    const auto* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
    if (shm != nullptr && shm->present != 0) {
        const auto shmVersion = xcbReply(connection_, xcb_shm_query_version(connection_),
                                         xcb_shm_query_version_reply);
        // Segments are passed as file descriptors, which needs MIT-SHM 1.2.
        sharedMemory_ = shmVersion && versionAtLeast(shmVersion->major_version,
                                                     shmVersion->minor_version, 1, 2);
    }
    xcb_flush(connection_);
}

X11WindowGrabber::~X11WindowGrabber() {
    detachSegment();
    xcb_composite_unredirect_window(connection_, window_, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(connection_);
}

bool X11WindowGrabber::has32BitPixels(int depth) const {
    for (auto it = xcb_setup_pixmap_formats_iterator(xcb_get_setup(connection_)); it.rem > 0;
         xcb_format_next(&it)) {
        if (it.data->depth == depth) return it.data->bits_per_pixel == 32;
    }
    return false;
}

bool X11WindowGrabber::attachSegment(std::size_t size) {
    if (mapped_ != nullptr && mappedSize_ >= size) return true;
    detachSegment();
    const int fd = memfd_create("vantor-capture", MFD_CLOEXEC);
    if (fd < 0) return false;
    void* mapped = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
        mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (mapped == MAP_FAILED) {
        close(fd);
        return false;
    }
    const auto segment = xcb_generate_id(connection_);
    // xcb sends the descriptor and closes it; the mapping stays valid without it.
    // Whatever the server's reason, the capture falls back to copying through the socket.
    if (detail::checkRequest(connection_, xcb_shm_attach_fd_checked(connection_, segment, fd, 0))) {
        munmap(mapped, size);
        return false;
    }
    segment_ = segment;
    mapped_ = mapped;
    mappedSize_ = size;
    return true;
}

void X11WindowGrabber::detachSegment() {
    if (mapped_ == nullptr) return;
    xcb_shm_detach(connection_, segment_);
    munmap(mapped_, mappedSize_);
    mapped_ = nullptr;
    mappedSize_ = 0;
}

std::optional<std::vector<std::uint8_t>> X11WindowGrabber::grab(int borderWidth, int width,
                                                                int height, int depth) {
    if (width <= 0 || height <= 0 || !has32BitPixels(depth)) return std::nullopt;
    const auto pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto size = pixelCount * 4;
    const auto x = static_cast<std::int16_t>(borderWidth);
    const auto y = static_cast<std::int16_t>(borderWidth);
    const auto w = static_cast<std::uint16_t>(width);
    const auto h = static_cast<std::uint16_t>(height);
    const bool hasAlpha = depth == 32;

    const auto pixmap = xcb_generate_id(connection_);
    xcb_composite_name_window_pixmap(connection_, window_, pixmap);
    std::optional<std::vector<std::uint8_t>> pixels;
    if (sharedMemory_ && attachSegment(size)) {
        const auto reply = xcbReply(connection_,
                                    xcb_shm_get_image(connection_, pixmap, x, y, w, h, kAllPlanes,
                                                      XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0),
                                    xcb_shm_get_image_reply);
        if (reply && reply->size >= size) {
            pixels = copyPixels(static_cast<const std::uint8_t*>(mapped_), pixelCount, hasAlpha);
        }
    } else {
        const auto reply = xcbReply(connection_,
                                    xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap,
                                                  x, y, w, h, kAllPlanes),
                                    xcb_get_image_reply);
        if (reply && static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) >= size) {
            pixels = copyPixels(xcb_get_image_data(reply.get()), pixelCount, hasAlpha);
        }
    }
    xcb_free_pixmap(connection_, pixmap);
    return pixels;
}

}  // namespace platform
