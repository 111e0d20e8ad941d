#pragma once

#include "mcp/http/http_request.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// HTTPRequestReader: reads the one HTTP/1.1 request of a connection to the host from the bytes
// as they arrive, with the host's lenient rules rather than a strict parser's:
//
// - The head ends at the first "\r\n\r\n"; lines end at "\r\n" only. A head longer than
//   kMaxHeadBytes (its blank line included) or of more than kMaxHeadLines lines, or one that is
//   not UTF-8, drops the request. Reading it takes time linear in its size.
// - The request line is split at blanks, runs of blanks counting as one: the first word is the
//   method and the second the path, both as received; a line of fewer than two words drops
//   the request. The protocol version is not read.
// - A header line without ":" is skipped. Name and value are trimmed of tabs and space
//   separators (not of line breaks); a later line with exactly the same name replaces the
//   earlier value, while names that differ in letter case are kept apart.
// - More than one Host line (any letter case) is refused as badRequest: which one names the
//   host would be a guess, and a peer in between may have guessed otherwise.
// - A request with a Transfer-Encoding header is never read as a body: its framing is not
//   the JSON the server expects, and the reader answers lengthRequired instead.
// - The body's length is the Content-Length header (any letter case), which must be decimal
//   digits alone; several such lines must agree. Anything else (a sign, a blank, other
//   characters, an empty value, lines that disagree) is refused as badRequest, as HTTP asks:
//   a peer in between could frame the body otherwise. No header means 0. More than
//   kMaxContentLength drops the request. The body is cut to that length.
//
// Pure: it knows no sockets. Not thread-safe; one reader per connection.
class HTTPRequestReader {
public:
    // Far beyond what any client sends, and small enough that a peer without the token can
    // cost the host little by sending heads.
    static constexpr std::size_t kMaxHeadBytes = 65'536;
    static constexpr std::size_t kMaxHeadLines = 256;
    static constexpr std::int64_t kMaxContentLength = 4'194'304;

    enum class Status {
        // More bytes are needed.
        reading,
        // The request is complete: take it with request().
        complete,
        // The request can't be read: the connection is closed without a reply; dropReason()
        // says why.
        dropped,
        // The request announces a transfer coding: it is refused with 411.
        lengthRequired,
        // The head frames the request ambiguously: it is refused with 400; badRequestReason()
        // says why.
        badRequest,
    };

    // BadRequestReason: why a request was refused with 400.
    enum class BadRequestReason {
        // More than one Host line.
        repeatedHost,
        // A Content-Length that isn't decimal digits alone, or lines that disagree.
        invalidContentLength,
    };

    // DropReason: why a request was dropped.
    enum class DropReason {
        // The head passed kMaxHeadBytes, with or without its end.
        headTooLarge,
        // The head has more than kMaxHeadLines lines.
        tooManyHeadLines,
        // The head is not UTF-8.
        headNotUTF8,
        // The request line has no method and path.
        noMethodAndPath,
        // The announced body is longer than kMaxContentLength.
        bodyTooLarge,
    };

    // feed: appends bytes that arrived and says where the request stands. Once the status is
    // no longer `reading`, further bytes are ignored and the status stays.
    Status feed(std::string_view bytes);

    Status status() const noexcept { return status_; }

    // dropReason: why the request was dropped; absent unless the status is `dropped`.
    std::optional<DropReason> dropReason() const noexcept { return dropReason_; }

    // badRequestReason: why the request was refused; absent unless the status is `badRequest`.
    std::optional<BadRequestReason> badRequestReason() const noexcept { return badRequestReason_; }

    // readingBody: whether the head is complete and the body is still awaited.
    bool readingBody() const noexcept { return status_ == Status::reading && contentLength_.has_value(); }

    // announcedLength: the body's length that the head announces, once the head is read;
    // absent before, and for a request refused for its transfer coding.
    std::optional<std::size_t> announcedLength() const noexcept { return contentLength_; }

    // head: the request as far as its head gives it (method, path and headers; no body), once
    // the head is read: while readingBody() or once complete, until takeRequest.
    const mcp::HTTPRequest& head() const noexcept { return request_; }

    // request: the request read, once the status is `complete`; its body is absent when
    // empty. Moves the request out: call it once.
    mcp::HTTPRequest takeRequest();

private:
    Status readHead(std::size_t headEnd);
    Status readBody();
    Status drop(DropReason reason);
    Status refuse(BadRequestReason reason);

    std::string buffer_;
    // Where the search for the head's end goes on after the next feed.
    std::size_t searchFrom_ = 0;
    // Where the body starts in buffer_, once the head is read.
    std::size_t bodyStart_ = 0;
    std::optional<std::size_t> contentLength_;
    mcp::HTTPRequest request_;
    Status status_ = Status::reading;
    std::optional<DropReason> dropReason_;
    std::optional<BadRequestReason> badRequestReason_;
};

}  // namespace app
