#include "eventsource/parser.hpp"

#include "eventsource/detail/line_ends.hpp"
#include "eventsource/detail/utf8_lines.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace eventsource {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kCompactAfter = 64;
// A block's data storage larger than this is not kept for the blocks after it: one huge event
// must not hold its memory for the rest of the stream.
constexpr std::size_t kKeptDataCapacity = 64 * 1024;

// A "retry" value as a number of milliseconds: an optional sign and one or more ASCII
// digits that fit a signed 64-bit integer, greater than 0. Anything else is ignored.
std::optional<std::int64_t> positiveInteger(std::string_view value) {
    // A value with a minus sign can never be greater than 0; "-0" and "-" are refused too.
    if (value.empty() || value.front() == '-') return std::nullopt;
    if (value.front() == '+') value.remove_prefix(1);
    if (value.empty() || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc{} || end != value.data() + value.size() || number <= 0) return std::nullopt;
    return number;
}

// When `line` is the field `name` (its name being the whole line, or what comes before the
// line's first colon), sets `value` to the field's value: what follows the colon, less one
// leading space. Inlined with the name's length known, so that the names are compared without
// a call.
template <std::size_t NameSize>
[[gnu::always_inline]] inline bool fieldValue(std::string_view line, const char (&name)[NameSize],
                                              std::string_view& value) noexcept {
    constexpr std::size_t kLength = NameSize - 1;
    if (line.size() < kLength || std::memcmp(line.data(), name, kLength) != 0) return false;
    if (line.size() == kLength) {
        value = {};
        return true;
    }
    if (line[kLength] != ':') return false;
    value = line.substr(kLength + 1);
    if (value.starts_with(' ')) value.remove_prefix(1);
    return true;
}

// An event's id and type are set again in the slot an earlier event used: its string keeps
// its storage, so a stream of events needs no allocation for them.
void assignReusingStorage(std::optional<std::string>& field, std::string_view value) {
    if (field) {
        field->assign(value);
    } else {
        field.emplace(value);
    }
}

}  // namespace

Parser::Parser() : Parser(Limits{}) {}

Parser::Parser(Limits limits) : limits_(limits) {}

Parser::Parser(Limits limits, std::string lastEventID) : limits_(limits), lastEventID_(std::move(lastEventID)) {}

void Parser::consume(std::span<const std::byte> bytes) {
    consume(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Parser::consume(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    // The common byte of a byte-at-a-time caller only grows the line; keep it cheap.
    if (c != '\r' && c != '\n' && !skippingLine_ && lineBuffer_.size() < limits_.maxLineBytes) {
        sawCR_ = false;
        lineBuffer_.push_back(c);
        lineBufferASCII_ = lineBufferASCII_ && byte < 0x80;
        return;
    }
    consume(std::string_view(&c, 1));
}

// Lines are handed on in place when they lie whole inside `bytes`; only a line that spans
// chunks is copied into lineBuffer_.
void Parser::consume(std::string_view bytes) {
    if (bytes.empty()) return;
    restartDrainedQueue();
    if (sawCR_) {
        sawCR_ = false;
        if (bytes.front() == '\n') bytes.remove_prefix(1);
    }
    const char* const end = bytes.data() + bytes.size();
    const char* lineStart = bytes.data();
    // The non-ASCII bytes of the current line in the blocks before the one being looked at.
    std::uint64_t lineNonASCII = 0;
    for (std::size_t at = 0; at < bytes.size(); at += detail::kScanBlockBytes) {
        const char* const block = bytes.data() + at;
        const std::size_t left = bytes.size() - at;
        const detail::BlockMasks masks = left >= detail::kScanBlockBytes ? detail::scanBlock(block)
                                                                         : detail::scanPartialBlock(block, left);
        // The bits of the current line's bytes in this block, from where it starts on.
        const auto currentLine = [&] {
            return detail::bitsFrom(lineStart <= block ? 0 : static_cast<std::size_t>(lineStart - block));
        };
        for (std::uint64_t lineEnds = masks.lineEnds; lineEnds != 0; lineEnds &= lineEnds - 1) {
            const auto position = static_cast<std::size_t>(__builtin_ctzll(lineEnds));
            const char* const lineEnd = block + position;
            // The LF of a CR LF, which the CR's line has taken with it, or no line end at all.
            if (lineEnd < lineStart || (*lineEnd != '\n' && *lineEnd != '\r')) continue;
            const std::uint64_t nonASCII = lineNonASCII | (masks.nonASCII & currentLine() & ~detail::bitsFrom(position));
            endLine(std::string_view(lineStart, static_cast<std::size_t>(lineEnd - lineStart)), nonASCII == 0);
            lineNonASCII = 0;
            lineStart = lineEnd + 1;
            if (*lineEnd == '\r') {
                if (lineStart == end) {
                    sawCR_ = true;
                    return;
                }
                if (*lineStart == '\n') ++lineStart;
            }
        }
        lineNonASCII |= masks.nonASCII & currentLine();
    }
    if (lineStart != end) {
        appendToLine(std::string_view(lineStart, static_cast<std::size_t>(end - lineStart)), lineNonASCII == 0);
    }
}

void Parser::appendToLine(std::string_view bytes, bool ascii) {
    if (skippingLine_) return;
    if (bytes.size() > limits_.maxLineBytes - lineBuffer_.size()) {
        skippingLine_ = true;
        // The refused bytes may be many; their storage is not kept.
        std::string().swap(lineBuffer_);
        lineBufferASCII_ = true;
        refuse(SizeLimitError::Kind::line, limits_.maxLineBytes);
        return;
    }
    lineBuffer_.append(bytes);
    lineBufferASCII_ = lineBufferASCII_ && ascii;
}

void Parser::endLine(std::string_view rest, bool ascii) {
    if (skippingLine_) {
        skippingLine_ = false;
        return;
    }
    if (lineBuffer_.empty()) {
        if (rest.size() > limits_.maxLineBytes) {
            refuse(SizeLimitError::Kind::line, limits_.maxLineBytes);
            return;
        }
        processRawLine(rest, ascii);
        return;
    }
    appendToLine(rest, ascii);
    if (skippingLine_) {
        skippingLine_ = false;
        return;
    }
    processBufferedLine();
}

void Parser::processBufferedLine() {
    processRawLine(lineBuffer_, lineBufferASCII_);
    lineBuffer_.clear();
    lineBufferASCII_ = true;
}

void Parser::processRawLine(std::string_view raw, bool ascii) {
    // An ASCII line holds neither a byte-order mark nor ill-formed UTF-8.
    if (ascii) {
        processLine(raw);
        return;
    }
    if (raw.starts_with(kByteOrderMark)) raw.remove_prefix(kByteOrderMark.size());
    processLine(detail::wellFormedUTF8(raw, repairScratch_));
}

void Parser::processLine(std::string_view line) {
    if (line.empty()) {
        dispatchEvent();
        return;
    }
    std::string_view value;
    switch (line.front()) {
    case 'd':
        if (fieldValue(line, "data", value)) {
            appendData(value);
            sawDataField_ = true;
        }
        return;
    case 'i':
        if (fieldValue(line, "id", value)) setID(value);
        return;
    case 'e':
        if (fieldValue(line, "event", value)) setType(value);
        return;
    case 'r':
        if (fieldValue(line, "retry", value)) setRetry(value);
        return;
    default:
        // A comment (a line that starts with a colon) or a field this parser does not know.
        return;
    }
}

void Parser::appendData(std::string_view value) {
    if (blockRefused_) return;
    std::string& data = current().data;
    const std::size_t separator = data.empty() ? 0 : 1;
    if (value.size() + separator > limits_.maxEventBytes - data.size()) {
        std::string().swap(data);
        refuse(SizeLimitError::Kind::event, limits_.maxEventBytes);
        return;
    }
    if (separator != 0) data += '\n';
    data.append(value);
}

void Parser::setID(std::string_view value) {
    if (value.find('\0') != std::string_view::npos) return;
    assignReusingStorage(current().id, value);
    blockHasID_ = true;
    lastEventID_.assign(value);
}

void Parser::setType(std::string_view value) {
    assignReusingStorage(current().event, value);
    blockHasType_ = true;
}

void Parser::setRetry(std::string_view value) {
    const auto milliseconds = positiveInteger(value);
    if (!milliseconds) return;
    reconnectionTime_ = std::clamp(*milliseconds, static_cast<std::int64_t>(limits_.minReconnectionTime.count()),
                                   static_cast<std::int64_t>(limits_.maxReconnectionTime.count()));
    current().retry = *reconnectionTime_;
}

bool Parser::blockPending() const noexcept { return sawDataField_ || blockHasID_ || blockHasType_; }

void Parser::dispatchEvent() {
    if (blockPending() && !blockRefused_) {
        Event& event = current();
        if (!blockHasID_) event.id.reset();
        if (!blockHasType_) event.event.reset();
        openNextSlot();
    }
    beginBlock();
}

// Readies the current slot for a new block. What it held before is dropped, but the storage
// of its data is kept, unless it is large: one huge event must not hold its memory for the
// rest of the stream.
void Parser::beginBlock() {
    Event& event = current();
    if (event.data.capacity() > kKeptDataCapacity) {
        std::string().swap(event.data);
    } else {
        event.data.clear();
    }
    event.retry.reset();
    blockRefused_ = false;
    sawDataField_ = false;
    blockHasID_ = false;
    blockHasType_ = false;
}

void Parser::refuse(SizeLimitError::Kind kind, std::size_t limit) {
    blockRefused_ = true;
    // The refusal takes the current block's place in the queue, and the block moves up one.
    openNextSlot();
    std::swap(queue_[queueEnd_ - 1], queue_[queueEnd_]);
    queue_[queueEnd_ - 1] = SizeLimitError(kind, limit);
}

Event& Parser::current() noexcept { return *std::get_if<Event>(&queue_[queueEnd_]); }

// Counts the current slot in and makes the one after it current.
void Parser::openNextSlot() {
    if (++queueEnd_ == queue_.size()) {
        queue_.emplace_back(Event{});
    } else if (!std::holds_alternative<Event>(queue_[queueEnd_])) {
        queue_[queueEnd_].emplace<Event>();
    }
    // An owner that never drains the queue completely must not make it grow for ever. Done
    // here, while the parser is fed, not when an entry is taken, so that an event taken in
    // place stays where it is.
    if (queueHead_ >= kCompactAfter && queueHead_ * 2 >= queueEnd_) {
        std::rotate(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_),
                    queue_.begin() + static_cast<std::ptrdiff_t>(queueEnd_) + 1);
        queueEnd_ -= queueHead_;
        queueHead_ = 0;
    }
}

// Once every finished entry has been taken, the current block moves to the front, so that the
// slots used before serve again.
void Parser::restartDrainedQueue() {
    if (queueHead_ != queueEnd_ || queueEnd_ == 0) return;
    std::swap(queue_[0], queue_[queueEnd_]);
    queueHead_ = 0;
    queueEnd_ = 0;
}

std::optional<Event> Parser::getNextEvent() {
    if (queueHead_ == queueEnd_) return std::nullopt;
    Entry& entry = queue_[queueHead_];
    if (auto* refusal = std::get_if<SizeLimitError>(&entry)) {
        SizeLimitError error = std::move(*refusal);
        popQueued();
        throw error;
    }
    std::optional<Event> event(std::in_place, std::move(std::get<Event>(entry)));
    popQueued();
    return event;
}

Event* Parser::takeNextEvent() {
    if (queueHead_ == queueEnd_) return nullptr;
    Entry& entry = queue_[queueHead_];
    if (auto* refusal = std::get_if<SizeLimitError>(&entry)) {
        SizeLimitError error = std::move(*refusal);
        popQueued();
        throw error;
    }
    Event* event = &std::get<Event>(entry);
    popQueued();
    return event;
}

void Parser::popQueued() { ++queueHead_; }

void Parser::finish() {
    restartDrainedQueue();
    // A CR at the very end ended its line, as an LF would; it is no blank line of its own, so
    // the block is judged below by the same rule whichever line end came last.
    sawCR_ = false;
    if (skippingLine_) {
        skippingLine_ = false;
    } else if (!lineBuffer_.empty()) {
        processBufferedLine();
    }
    if (!current().data.empty() || blockHasID_ || blockHasType_) dispatchEvent();
    // What is left of a block that made no event belongs to this body: a "data" or "retry"
    // line of it must not reach an event of the next body.
    beginBlock();
}

}  // namespace eventsource
