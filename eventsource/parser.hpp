#pragma once

#include "eventsource/event.hpp"
#include "eventsource/size_limit_error.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace eventsource {

// Turns the body of a "text/event-stream" response into events. Knows nothing of sockets:
// its owner feeds it the bytes as they arrive, in chunks of any size, and takes the finished
// events out in order.
//
// CR, LF and CR LF each end a line, also when the CR and the LF arrive in separate chunks;
// feeding a stream whole, in pieces or one byte at a time gives the same events. A UTF-8
// byte-order mark is dropped from the start of every line, and ill-formed UTF-8 becomes
// U+FFFD. Across events the parser keeps the last valid event id and the reconnection time
// the server asked for.
//
// Not thread-safe: one owner (one coroutine, or code running on one strand) uses it.
class Parser {
public:
    // Bounds that keep a misbehaving server from making the parser's memory grow without
    // end, and from choosing an unreasonable reconnection time.
    struct Limits {
        // The longest line, in bytes without its line end, that the parser accepts.
        std::size_t maxLineBytes = 8 * 1024 * 1024;
        // The largest joined data of one event, in bytes.
        std::size_t maxEventBytes = 16 * 1024 * 1024;
        // Every accepted "retry" value is brought into this range.
        std::chrono::milliseconds minReconnectionTime{100};
        std::chrono::milliseconds maxReconnectionTime{60'000};
    };

    // The reconnection time before the server has sent a "retry" line.
    static constexpr std::int64_t kDefaultReconnectionTime = 3000;

    Parser();
    explicit Parser(Limits limits);
    // A parser for the next connection of a stream whose last event id so far is
    // `lastEventID`: it goes on from that id, and from a fresh line and block.
    Parser(Limits limits, std::string lastEventID);

    // Reads the next bytes of the body. Queues every event that they finish. A line longer
    // than `maxLineBytes` is refused as soon as it passes the limit, and the rest of it is
    // skipped; an event whose data passes `maxEventBytes` is refused the same way. Either
    // refusal drops the event of the block it happened in and queues a SizeLimitError in its
    // place; the stream goes on with the next block.
    void consume(std::span<const std::byte> bytes);
    void consume(std::string_view bytes);
    void consume(std::uint8_t byte);

    // Removes and returns the oldest finished event, or nothing when none is queued. When
    // the oldest entry is a refusal, removes it and throws it as SizeLimitError; the next
    // call goes on with the events after it.
    std::optional<Event> getNextEvent();

    // Removes the oldest finished event and returns it where it lies: it stays the parser's,
    // and its fields may be read or moved from until the parser is next fed or finished.
    // Nothing when none is queued; a refusal is thrown as getNextEvent() throws it. Events
    // taken so leave their storage to the events after them, which then need no allocation.
    Event* takeNextEvent();

    // True when an event (or a refusal) is waiting to be taken.
    bool hasQueuedEvent() const noexcept { return queueHead_ < queueEnd_; }

    // The id of the last valid "id" line of the stream; empty before any (and after an empty
    // "id" line).
    const std::string& getLastEventID() const noexcept { return lastEventID_; }

    // The reconnection time in milliseconds: the last accepted "retry" value brought into
    // the limits' range, or kDefaultReconnectionTime.
    std::int64_t getReconnectionTime() const noexcept { return reconnectionTime_.value_or(kDefaultReconnectionTime); }

    // The reconnection time the stream announced, as getReconnectionTime; nothing before the
    // first accepted "retry" line. A "retry" line counts as soon as its line ends, also in a
    // block that makes no event.
    std::optional<std::int64_t> announcedReconnectionTime() const noexcept { return reconnectionTime_; }

    // Ends the body: a line still without its line end counts as a line, and a block that
    // holds data, an id or an event type is finished although no blank line followed it;
    // whether the last line ended with CR, LF or nothing makes no difference. Any other
    // unfinished block is dropped. Keeps the last event id, the reconnection time and the
    // queue; the parser may be fed again afterwards (for the next connection of the same
    // stream), starting with an empty block.
    void finish();

private:
    using Entry = std::variant<Event, SizeLimitError>;

    void appendToLine(std::string_view bytes, bool ascii);
    void endLine(std::string_view rest, bool ascii);
    void processBufferedLine();
    void processRawLine(std::string_view raw, bool ascii);
    void processLine(std::string_view line);
    void appendData(std::string_view value);
    void setID(std::string_view value);
    void setType(std::string_view value);
    void setRetry(std::string_view value);
    bool blockPending() const noexcept;
    void dispatchEvent();
    void beginBlock();
    void refuse(SizeLimitError::Kind kind, std::size_t limit);
    Event& current() noexcept;
    void openNextSlot();
    void restartDrainedQueue();
    void popQueued();

    Limits limits_;

    std::string lastEventID_;
    std::optional<std::int64_t> reconnectionTime_;

    std::string lineBuffer_;
    // Every byte in lineBuffer_ is below 0x80, as the line scan found.
    bool lineBufferASCII_ = true;
    bool sawCR_ = false;
    // The current line passed the line limit: its remaining bytes are skipped.
    bool skippingLine_ = false;
    // Something in the current block was refused, so the block yields no event.
    bool blockRefused_ = false;
    // Whether a "data" line occurred in the current block: such a block is an event even
    // when all its data lines were empty.
    bool sawDataField_ = false;
    // Whether the current block set its event's id and type. Until it does, the slot it is
    // built in may still hold those of the event that slot held before: they are dropped when
    // the block becomes an event, and their storage serves the block when it does set them.
    bool blockHasID_ = false;
    bool blockHasType_ = false;

    // Finished entries are those in [queueHead_, queueEnd_). The current block is built in
    // place in queue_[queueEnd_], which always holds an Event, and becomes a finished entry by
    // being counted in. The slots after it keep the storage of entries already taken, for the
    // blocks to come.
    std::vector<Entry> queue_ = std::vector<Entry>(1);
    std::size_t queueHead_ = 0;
    std::size_t queueEnd_ = 0;

    // Holds a line's repaired form when it was not well-formed UTF-8.
    std::string repairScratch_;
};

}  // namespace eventsource
