#include "mcp/transport/line_framer.hpp"

#include <algorithm>
#include <cstring>

namespace mcp {
namespace {

constexpr char kLineFeed = '\n';
// A buffer that once held a huge line gives its memory back when it has emptied.
constexpr std::size_t kKeptCapacity = std::size_t{1} << 20;

}  // namespace

std::optional<std::size_t> firstByteIndex(char byte, std::string_view bytes) noexcept {
    if (bytes.empty()) return std::nullopt;
    const void* found = std::memchr(bytes.data(), static_cast<unsigned char>(byte), bytes.size());
    if (found == nullptr) return std::nullopt;
    return static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
}

void LineFramer::append(std::string_view bytes) {
    if (skipping_) {
        const auto end = firstByteIndex(kLineFeed, bytes);
        if (!end) return;
        skipping_ = false;
        bytes.remove_prefix(*end + 1);
    }
    if (start_ > 0) {
        if (start_ == buffer_.size() && buffer_.capacity() > kKeptCapacity) {
            buffer_ = std::string();
        } else {
            buffer_.erase(0, start_);
        }
        scanned_ -= std::min(scanned_, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<LineFramer::Line> LineFramer::nextLine() {
    const std::string_view held(buffer_);
    if (const auto found = firstByteIndex(kLineFeed, held.substr(scanned_))) {
        const std::size_t end = scanned_ + *found;
        const std::string_view line = held.substr(start_, end - start_);
        start_ = scanned_ = end + 1;
        if (line.size() > maxLineBytes_) return Line{{}, true, line.size()};
        return Line{line, false, line.size()};
    }
    scanned_ = held.size();
    const std::size_t pending = held.size() - start_;
    if (pending <= maxLineBytes_) return std::nullopt;
    // Nothing of a refused line is kept: the rest of it is dropped as it arrives.
    buffer_.resize(start_);
    scanned_ = start_;
    skipping_ = true;
    return Line{{}, true, pending};
}

void LineFramer::consume(std::size_t count) noexcept {
    start_ += std::min(count, pendingBytes());
    scanned_ = std::max(scanned_, start_);
}

}  // namespace mcp
