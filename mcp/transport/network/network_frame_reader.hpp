#pragma once

// NetworkFrameReader: cuts what a network transport reads into its frames: newline-delimited
// messages, and heartbeat frames between them. A heartbeat is recognised only where a line
// starts, and is exactly 12 bytes, however the reads split it; anywhere else its marker bytes
// are message data. So a heartbeat and a message in one read both arrive, and a message that
// carries the marker inside a JSON string arrives whole. Empty lines are dropped.
//
//     NetworkFrameReader reader(LineFramer::kDefaultMaxLineBytes);
//     reader.append(chunk);
//     while (auto frame = reader.next()) { ... }
//
// Pure: no input or output. Not thread safe; one owner.

#include "mcp/transport/line_framer.hpp"
#include "mcp/transport/network/heartbeat.hpp"

#include <cstddef>
#include <optional>
#include <string_view>

namespace mcp::network {

class NetworkFrameReader {
public:
    struct Frame {
        enum class Kind { message, heartbeat, overlongLine };
        Kind kind;
        // The message's bytes, valid until the next `append`.
        std::string_view message;
        // The heartbeat's frame.
        std::optional<Heartbeat> heartbeat;
        // The refused line's length when it was refused.
        std::size_t size = 0;
    };

    explicit NetworkFrameReader(std::size_t maxLineBytes = LineFramer::kDefaultMaxLineBytes) : lines_(maxLineBytes) {}

    std::size_t maxLineBytes() const noexcept { return lines_.maxLineBytes(); }

    void append(std::string_view bytes) { lines_.append(bytes); }

    // The next whole frame, or absent until more bytes arrive.
    std::optional<Frame> next();

private:
    LineFramer lines_;
};

}  // namespace mcp::network
