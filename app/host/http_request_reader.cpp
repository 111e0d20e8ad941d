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

// What the Content-Length lines of a head give: the length, or that they don't give one.
struct AnnouncedLength {
    // The value of the first line, absent when there is none.
    std::optional<std::string_view> text;
    bool linesDisagree = false;

    void add(std::string_view value) noexcept {
        if (!text) {
            text = value;
        } else if (*text != value) {
            linesDisagree = true;
        }
    }

    bool isValid() const noexcept {
        return !linesDisagree && (!text || (!text->empty() && std::all_of(text->begin(), text->end(), [](char c) {
                                                return c >= '0' && c <= '9';
                                            })));
    }
};

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

    // Counted over the lines: a later line of the same name replaces the earlier one's value.
    HeaderIndex index;
    int hostLines = 0;
    AnnouncedLength announced;
    for (std::size_t number = 1; number < lines.size(); ++number) {
        const auto line = lines[number];
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto name = trimPadding(line.substr(0, colon));
        const auto value = trimPadding(line.substr(colon + 1));
        if (mcp::equalsIgnoringCase(name, "host") && ++hostLines > 1) return refuse(BadRequestReason::repeatedHost);
        if (mcp::equalsIgnoringCase(name, "content-length")) announced.add(value);
        storeHeader(request_.headers, index, name, value);
    }

    if (hasTransferCoding(request_.headers)) return Status::lengthRequired;
    if (!announced.isValid()) return refuse(BadRequestReason::invalidContentLength);
    std::int64_t length = 0;
    if (announced.text) {
        const auto& text = *announced.text;
        // Digits beyond 64 bits announce more than any body may hold.
        if (std::from_chars(text.data(), text.data() + text.size(), length).ec != std::errc()) {
            length = kMaxContentLength + 1;
        }
    }
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

HTTPRequestReader::Status HTTPRequestReader::refuse(BadRequestReason reason) {
    badRequestReason_ = reason;
    return Status::badRequest;
}

mcp::HTTPRequest HTTPRequestReader::takeRequest() {
    return std::move(request_);
}

}  // namespace app
