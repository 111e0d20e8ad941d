#include "app/host/http_request_reader.hpp"

#include "app/host/detail/utf8.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <utility>
#include <vector>

namespace app {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// Tabs and space separators: the white space that may pad a header's name or value.
bool isPadding(UChar32 character) noexcept {
    return character == '\t' || u_charType(character) == U_SPACE_SEPARATOR;
}

// text without padding at either end; text must be valid UTF-8. Only the padding itself is
// decoded: a header's value is read from each end to its first other character.
std::string_view trimPadding(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t begin = 0;
    while (begin < length) {
        auto next = begin;
        UChar32 character = 0;
        U8_NEXT(bytes, next, length, character);
        if (!isPadding(character)) break;
        begin = next;
    }
    std::int32_t end = length;
    while (end > begin) {
        // The last character starts at the last byte that isn't a continuation byte.
        auto previous = end - 1;
        while (previous > begin && (bytes[previous] & 0xC0) == 0x80) --previous;
        auto next = previous;
        UChar32 character = 0;
        U8_NEXT(bytes, next, length, character);
        if (!isPadding(character)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return pieces;
        text.remove_prefix(at + separator.size());
    }
}

// The words of a request line: the pieces between blanks, empty ones dropped.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> found;
    for (const auto piece : split(line, " ")) {
        if (!piece.empty()) found.push_back(piece);
    }
    return found;
}

// Where each stored header name is in headers, so that a head of many lines is read in time
// linear in its size. The names view the head being read.
using HeaderIndex = std::unordered_map<std::string_view, std::size_t>;

void storeHeader(mcp::HTTPHeaders& headers, HeaderIndex& index, std::string_view name, std::string_view value) {
    const auto [stored, isNew] = index.try_emplace(name, headers.size());
    if (isNew) {
        headers.emplace_back(name, value);
    } else {
        headers[stored->second].second = value;
    }
}

// A decimal integer with an optional sign and nothing else; 0 for anything else, for a value
// beyond 64 bits and for a negative one.
std::int64_t contentLengthValue(std::string_view text) noexcept {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') return 0;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return negative ? 0 : value;
}

std::int64_t contentLength(const mcp::HTTPHeaders& headers) noexcept {
    for (const auto& [name, value] : headers) {
        if (mcp::equalsIgnoringCase(name, "content-length")) return contentLengthValue(value);
    }
    return 0;
}

bool hasTransferCoding(const mcp::HTTPHeaders& headers) noexcept {
    for (const auto& [name, value] : headers) {
        if (mcp::equalsIgnoringCase(name, "transfer-encoding")) return true;
    }
    return false;
}

}  // namespace

HTTPRequestReader::Status HTTPRequestReader::feed(std::string_view bytes) {
    if (status_ != Status::reading) return status_;
    buffer_.append(bytes);
    if (contentLength_) return status_ = readBody();

    const auto headEnd = buffer_.find(kHeadEnd, searchFrom_);
    if (headEnd == std::string::npos) {
        if (buffer_.size() >= kMaxHeadBytes) return status_ = drop(DropReason::headTooLarge);
        // The end may begin in these bytes and finish in the next ones.
        searchFrom_ = buffer_.size() - std::min(buffer_.size(), kHeadEnd.size() - 1);
        return status_;
    }
    return status_ = readHead(headEnd);
}

HTTPRequestReader::Status HTTPRequestReader::readHead(std::size_t headEnd) {
    if (headEnd + kHeadEnd.size() > kMaxHeadBytes) return drop(DropReason::headTooLarge);
    const std::string_view head(buffer_.data(), headEnd);
    if (!detail::isValidUTF8(head)) return drop(DropReason::headNotUTF8);

    const auto lines = split(head, kLineEnd);
    if (lines.size() > kMaxHeadLines) return drop(DropReason::tooManyHeadLines);
    const auto requestLine = words(lines.front());
    if (requestLine.size() < 2) return drop(DropReason::noMethodAndPath);
    request_.method = requestLine[0];
    request_.path = std::string(requestLine[1]);

    HeaderIndex index;
    for (std::size_t number = 1; number < lines.size(); ++number) {
        const auto line = lines[number];
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        storeHeader(request_.headers, index, trimPadding(line.substr(0, colon)), trimPadding(line.substr(colon + 1)));
    }

    if (hasTransferCoding(request_.headers)) return Status::lengthRequired;
    const auto length = contentLength(request_.headers);
    if (length > kMaxContentLength) return drop(DropReason::bodyTooLarge);
    contentLength_ = static_cast<std::size_t>(length);
    bodyStart_ = headEnd + kHeadEnd.size();
    return readBody();
}

HTTPRequestReader::Status HTTPRequestReader::readBody() {
    if (buffer_.size() - bodyStart_ < *contentLength_) return Status::reading;
    // Bytes beyond the announced length are not part of this request's JSON.
    buffer_.erase(0, bodyStart_);
    buffer_.resize(*contentLength_);
    if (!buffer_.empty()) request_.body = std::move(buffer_);
    buffer_ = {};
    return Status::complete;
}

HTTPRequestReader::Status HTTPRequestReader::drop(DropReason reason) {
    dropReason_ = reason;
    return Status::dropped;
}

mcp::HTTPRequest HTTPRequestReader::takeRequest() {
    return std::move(request_);
}

}  // namespace app
