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

// Splits a line at its first colon into field name and value, without searching far: no
// field this parser knows has a name longer than five bytes, so a line whose first six bytes
// hold no colon names an unknown field (or is one) and is ignored.
constexpr std::size_t kLongestFieldName = 5;

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
        sawDataField_ = false;
        return;
    }
    if (line.front() == ':') return;
    const std::size_t searched = std::min(line.size(), kLongestFieldName + 1);
    std::size_t nameLength = 0;
    while (nameLength != searched && line[nameLength] != ':') ++nameLength;
    if (nameLength == line.size()) {
        processField(line, {});
        return;
    }
    if (nameLength > kLongestFieldName) return;
    std::string_view value = line.substr(nameLength + 1);
    if (value.starts_with(' ')) value.remove_prefix(1);
    processField(line.substr(0, nameLength), value);
}

void Parser::processField(std::string_view name, std::string_view value) {
    switch (name.size()) {
    case 4:
        if (name == "data") {
            sawDataField_ = true;
            appendData(value);
        }
        return;
    case 5:
        if (name == "event") {
            current_.event.emplace(value);
        } else if (name == "retry") {
            setRetry(value);
        }
        return;
    case 2:
        if (name == "id" && std::find(value.begin(), value.end(), '\0') == value.end()) {
            current_.id.emplace(value);
            lastEventID_.assign(value);
        }
        return;
    default:
        return;
    }
}

void Parser::appendData(std::string_view value) {
    if (blockRefused_) return;
    std::string& data = current_.data;
    const std::size_t separator = data.empty() ? 0 : 1;
    if (value.size() + separator > limits_.maxEventBytes - data.size()) {
        blockRefused_ = true;
        std::string().swap(data);
        refuse(SizeLimitError::Kind::event, limits_.maxEventBytes);
        return;
    }
    if (separator != 0) data += '\n';
    data.append(value);
}

void Parser::setRetry(std::string_view value) {
    const auto milliseconds = positiveInteger(value);
    if (!milliseconds) return;
    reconnectionTime_ = std::clamp(*milliseconds, static_cast<std::int64_t>(limits_.minReconnectionTime.count()),
                                   static_cast<std::int64_t>(limits_.maxReconnectionTime.count()));
    current_.retry = *reconnectionTime_;
}

bool Parser::blockPending() const noexcept {
    return !current_.data.empty() || current_.id || current_.event || sawDataField_;
}

void Parser::dispatchEvent() {
    if (blockPending() && !blockRefused_) {
        // The block's event changes places with what its slot held: no field is copied, and
        // the storage of an event taken earlier serves the next block.
        Entry& slot = nextSlot();
        if (auto* taken = std::get_if<Event>(&slot)) {
            std::swap(*taken, current_);
            if (current_.data.capacity() > kKeptDataCapacity) std::string().swap(current_.data);
        } else {
            slot = std::move(current_);
        }
    }
    clearBlock();
}

void Parser::clearBlock() {
    current_.id.reset();
    current_.event.reset();
    current_.data.clear();
    current_.retry.reset();
    blockRefused_ = false;
}

void Parser::refuse(SizeLimitError::Kind kind, std::size_t limit) {
    blockRefused_ = true;
    nextSlot() = SizeLimitError(kind, limit);
}

// The slot for the next finished entry, counted in.
Parser::Entry& Parser::nextSlot() {
    // An owner that never drains the queue completely must not make it grow for ever. Done
    // here, not when an entry is taken, so that an event taken in place stays where it is.
    if (queueHead_ >= kCompactAfter && queueHead_ * 2 >= queueEnd_) {
        std::rotate(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_),
                    queue_.begin() + static_cast<std::ptrdiff_t>(queueEnd_));
        queueEnd_ -= queueHead_;
        queueHead_ = 0;
    }
    if (queueEnd_ == queue_.size()) queue_.emplace_back(Event{});
    return queue_[queueEnd_++];
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

void Parser::popQueued() {
    if (++queueHead_ == queueEnd_) {
        queueHead_ = 0;
        queueEnd_ = 0;
    }
}

void Parser::finish() {
    // A CR at the very end ended its line, as an LF would; it is no blank line of its own, so
    // the block is judged below by the same rule whichever line end came last.
    sawCR_ = false;
    if (skippingLine_) {
        skippingLine_ = false;
    } else if (!lineBuffer_.empty()) {
        processBufferedLine();
    }
    if (!current_.data.empty() || current_.id || current_.event) processLine({});
    // What is left of a block that made no event belongs to this body: a "data" or "retry"
    // line of it must not reach an event of the next body.
    clearBlock();
    sawDataField_ = false;
}

}  // namespace eventsource
