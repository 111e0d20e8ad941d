#pragma once

// LineFramer: cuts a byte stream into lines ended by a line feed (byte 10), the framing of the
// stream transports. Only byte 10 ends a line: a carriage return before it stays part of the
// line, and no other byte is special. Bytes after the last line feed wait for the rest of
// their line.
//
//     LineFramer framer;
//     framer.append(chunk);
//     while (auto line = framer.nextLine()) {
//         if (line->overlong) logRefusal(line->size); else deliver(std::string(line->bytes));
//     }
//
// Each byte is scanned once, however many reads a line spans, and the consumed front of the
// buffer is dropped once per append, so the cost stays linear in the bytes received. A line
// longer than the limit is refused: reported once with its size so far, and skipped up to its
// line feed, after which framing goes on with the next line. Not thread safe; one owner.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// The position of the first byte equal to `byte` in `bytes`, or absent when there is none.
std::optional<std::size_t> firstByteIndex(char byte, std::string_view bytes) noexcept;

class LineFramer {
public:
    // The default longest line: results that carry screenshots reach several megabytes.
    static constexpr std::size_t kDefaultMaxLineBytes = std::size_t{64} << 20;

    // One framed line. `bytes` points into the framer and is valid until the next `append`.
    struct Line {
        std::string_view bytes;
        // The line exceeded the limit: `bytes` is empty and `size` the length that was
        // reached when it was refused; the rest of it is skipped.
        bool overlong = false;
        std::size_t size = 0;
    };

    explicit LineFramer(std::size_t maxLineBytes = kDefaultMaxLineBytes) : maxLineBytes_(maxLineBytes) {}

    std::size_t maxLineBytes() const noexcept { return maxLineBytes_; }

    // Adds received bytes after those already held.
    void append(std::string_view bytes);

    // The next complete line (without its line feed), or an overlong line's refusal; absent
    // when no line feed is left in what is held.
    std::optional<Line> nextLine();

    // True when the held bytes begin a new line: nothing of a partial line is pending.
    bool atLineStart() const noexcept { return !skipping_ && scanned_ == start_; }

    // The held bytes not yet consumed, for a reader that recognises frames of its own at a
    // line start; valid until the next `append`.
    std::string_view unread() const noexcept { return std::string_view(buffer_).substr(start_); }

    // Consumes `count` bytes of `unread()` at a line start (at most all of them).
    void consume(std::size_t count) noexcept;

    // Bytes held that belong to no complete line yet.
    std::size_t pendingBytes() const noexcept { return buffer_.size() - start_; }

private:
    std::string buffer_;
    // The first byte not yet handed out, and the first byte not yet searched for a line feed.
    std::size_t start_ = 0;
    std::size_t scanned_ = 0;
    // Inside a refused line: everything up to its line feed is dropped.
    bool skipping_ = false;
    std::size_t maxLineBytes_;
};

}  // namespace mcp
