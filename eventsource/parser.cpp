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

// The first CR or LF in [from, end), or `end`. Sixteen bytes at a time: most lines of a stream
// are short, and one pass that looks for both bytes beats two library searches per line.
const char* findLineEnd(const char* from, const char* end) noexcept {
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, carriageReturn));
        if (const int mask = _mm_movemask_epi8(hits); mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; from != end; ++from) {
        if (*from == '\n' || *from == '\r') return from;
    }
    return end;
}

}  // namespace

Parser::Parser() : Parser(Limits{}) {}

Parser::Parser(Limits limits) : limits_(limits) {}

void Parser::consume(std::span<const std::byte> bytes) {
    consume(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Parser::consume(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    // The common byte of a byte-at-a-time caller only grows the line; keep it cheap.
    if (c != '\r' && c != '\n' && !skippingLine_ && lineBuffer_.size() < limits_.maxLineBytes) {
        sawCR_ = false;
        lineBuffer_.push_back(c);
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
        const char* lineEnd = findLineEnd(p, end);
        if (lineEnd == end) {
            appendToLine({p, static_cast<std::size_t>(end - p)});
            return;
        }
        endLine({p, static_cast<std::size_t>(lineEnd - p)});
        p = lineEnd + 1;
        if (*lineEnd == '\r') {
            if (p == end) {
                sawCR_ = true;
                return;
            }
            if (*p == '\n') ++p;
        }
    }
}

void Parser::appendToLine(std::string_view bytes) {
    if (skippingLine_) return;
    if (bytes.size() > limits_.maxLineBytes - lineBuffer_.size()) {
        skippingLine_ = true;
        // The refused bytes may be many; their storage is not kept.
        std::string().swap(lineBuffer_);
        refuse(SizeLimitError::Kind::line, limits_.maxLineBytes);
        return;
    }
    lineBuffer_.append(bytes);
}

void Parser::endLine(std::string_view rest) {
    if (skippingLine_) {
        skippingLine_ = false;
        return;
    }
    if (lineBuffer_.empty()) {
        if (rest.size() > limits_.maxLineBytes) {
            refuse(SizeLimitError::Kind::line, limits_.maxLineBytes);
            return;
        }
        processRawLine(rest);
        return;
    }
    appendToLine(rest);
    if (skippingLine_) {
        skippingLine_ = false;
        return;
    }
    processRawLine(lineBuffer_);
    lineBuffer_.clear();
}

void Parser::processRawLine(std::string_view raw) {
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
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        processField(line, {});
        return;
    }
    std::string_view value = line.substr(colon + 1);
    if (value.starts_with(' ')) value.remove_prefix(1);
    processField(line.substr(0, colon), value);
}

void Parser::processField(std::string_view name, std::string_view value) {
    if (name == "data") {
        sawDataField_ = true;
        appendData(value);
    } else if (name == "event") {
        currentEventType_.emplace(value);
    } else if (name == "id") {
        if (value.find('\0') != std::string_view::npos) return;
        currentEventID_.emplace(value);
        lastEventID_.assign(value);
    } else if (name == "retry") {
        setRetry(value);
    }
}

void Parser::appendData(std::string_view value) {
    if (blockRefused_) return;
    const std::size_t separator = currentData_.empty() ? 0 : 1;
    if (value.size() + separator > limits_.maxEventBytes - currentData_.size()) {
        blockRefused_ = true;
        std::string().swap(currentData_);
        refuse(SizeLimitError::Kind::event, limits_.maxEventBytes);
        return;
    }
    if (separator != 0) currentData_ += '\n';
    currentData_.append(value);
}

void Parser::setRetry(std::string_view value) {
    const auto milliseconds = positiveInteger(value);
    if (!milliseconds) return;
    reconnectionTime_ = std::clamp(*milliseconds, static_cast<std::int64_t>(limits_.minReconnectionTime.count()),
                                   static_cast<std::int64_t>(limits_.maxReconnectionTime.count()));
    currentRetry_ = *reconnectionTime_;
}

void Parser::dispatchEvent() {
    const bool pending = !currentData_.empty() || currentEventID_ || currentEventType_ || sawDataField_;
    if (pending && !blockRefused_) {
        queue_.emplace_back(Event{
            .id = std::move(currentEventID_),
            .event = std::move(currentEventType_),
            .data = std::move(currentData_),
            .retry = currentRetry_,
        });
    }
    clearBlock();
}

void Parser::clearBlock() {
    currentEventID_.reset();
    currentEventType_.reset();
    currentData_.clear();
    currentRetry_.reset();
    blockRefused_ = false;
}

void Parser::refuse(SizeLimitError::Kind kind, std::size_t limit) {
    blockRefused_ = true;
    queue_.emplace_back(SizeLimitError(kind, limit));
}

std::optional<Event> Parser::getNextEvent() {
    if (queueHead_ == queue_.size()) return std::nullopt;
    Entry entry = std::move(queue_[queueHead_++]);
    if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    } else if (queueHead_ >= kCompactAfter && queueHead_ * 2 >= queue_.size()) {
        // An owner that never drains the queue completely must not make it grow for ever.
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_));
        queueHead_ = 0;
    }
    if (auto* refusal = std::get_if<SizeLimitError>(&entry)) throw std::move(*refusal);
    return std::move(std::get<Event>(entry));
}

void Parser::finish() {
    // A CR at the very end ended its line, as an LF would; it is no blank line of its own, so
    // the block is judged below by the same rule whichever line end came last.
    sawCR_ = false;
    if (skippingLine_) {
        skippingLine_ = false;
    } else if (!lineBuffer_.empty()) {
        processRawLine(lineBuffer_);
        lineBuffer_.clear();
    }
    if (!currentData_.empty() || currentEventID_ || currentEventType_) processLine({});
    // What is left of a block that made no event belongs to this body: a "data" or "retry"
    // line of it must not reach an event of the next body.
    clearBlock();
    sawDataField_ = false;
}

}  // namespace eventsource
