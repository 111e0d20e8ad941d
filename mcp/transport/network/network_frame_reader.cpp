#include "mcp/transport/network/network_frame_reader.hpp"

#include <algorithm>

namespace mcp::network {
namespace {

// True when `bytes` are the marker's first bytes (all four, or as many as have arrived).
bool beginsLikeHeartbeat(std::string_view bytes) {
    const std::size_t count = std::min(bytes.size(), Heartbeat::kMarker.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(bytes[i]) != Heartbeat::kMarker[i]) return false;
    }
    return count > 0;
}

}  // namespace

std::optional<NetworkFrameReader::Frame> NetworkFrameReader::next() {
    while (true) {
        if (lines_.atLineStart() && beginsLikeHeartbeat(lines_.unread())) {
            const std::string_view unread = lines_.unread();
            if (unread.size() < Heartbeat::kFrameBytes) return std::nullopt;
            auto heartbeat = Heartbeat::from(unread.substr(0, Heartbeat::kFrameBytes));
            lines_.consume(Heartbeat::kFrameBytes);
            return Frame{Frame::Kind::heartbeat, {}, heartbeat, Heartbeat::kFrameBytes};
        }
        const auto line = lines_.nextLine();
        if (!line) return std::nullopt;
        if (line->overlong) return Frame{Frame::Kind::overlongLine, {}, std::nullopt, line->size};
        if (!line->bytes.empty()) return Frame{Frame::Kind::message, line->bytes, std::nullopt, line->bytes.size()};
    }
}

}  // namespace mcp::network
