#include "eventsource/parser.hpp"

#include "eventsource/detail/utf8_lines.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Where a line ends, and whether the bytes before it were all ASCII.
struct LineScan {
    const char* end;
    bool ascii;
};

// The first CR or LF in [from, end), or `end`, and whether every byte before it is below 0x80.
// One pass over each byte answers both: most lines of a stream are short and plain ASCII, and
// a line found ASCII here needs no UTF-8 check afterwards.
LineScan findLineEnd(const char* from, const char* end) noexcept {
    unsigned highBits = 0;
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const auto lineEnds = [&](__m128i bytes) {
        return _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, carriageReturn));
    };
    // Long stretches without a line end (the data of a JSON message) go 64 bytes a step; the
    // step that holds the line end is left to the 16-byte loop below to locate it.
    __m128i high64 = _mm_setzero_si128();
    for (; end - from >= 64; from += 64) {
        const auto* block = reinterpret_cast<const __m128i*>(from);
        const __m128i a = _mm_loadu_si128(block);
        const __m128i b = _mm_loadu_si128(block + 1);
        const __m128i c = _mm_loadu_si128(block + 2);
        const __m128i d = _mm_loadu_si128(block + 3);
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(lineEnds(a), lineEnds(b)), _mm_or_si128(lineEnds(c), lineEnds(d)));
        if (_mm_movemask_epi8(hits) != 0) break;
        high64 = _mm_or_si128(high64, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
    }
    highBits = static_cast<unsigned>(_mm_movemask_epi8(high64));
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i hits = lineEnds(bytes);
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0) {
            const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
            highBits |= high & ((1U << at) - 1U);
            return {from + at, highBits == 0};
        }
        highBits |= high;
    }
#endif
    for (; from != end; ++from) {
        if (*from == '\n' || *from == '\r') break;
        highBits |= static_cast<unsigned char>(*from) & 0x80U;
    }
    return {from, highBits == 0};
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
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    if (p == end) return;
    if (sawCR_) {
        sawCR_ = false;
        if (*p == '\n') ++p;
    }
    while (p != end) {
        const LineScan scan = findLineEnd(p, end);
        const std::string_view line(p, static_cast<std::size_t>(scan.end - p));
        if (scan.end == end) {
            appendToLine(line, scan.ascii);
            return;
        }
        endLine(line, scan.ascii);
        p = scan.end + 1;
        if (*scan.end == '\r') {
            if (p == end) {
                sawCR_ = true;
                return;
            }
            if (*p == '\n') ++p;
        }
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
