#include "app/host/http_request_reader.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace app {
namespace {

using Status = HTTPRequestReader::Status;

struct Outcome {
    Status status;
    mcp::HTTPRequest request;
};

// Feeds the pieces in order; the request is taken when complete.
Outcome read(std::initializer_list<std::string_view> pieces) {
    HTTPRequestReader reader;
    for (const auto piece : pieces) reader.feed(piece);
    Outcome outcome{reader.status(), {}};
    if (outcome.status == Status::complete) outcome.request = reader.takeRequest();
    return outcome;
}

Outcome read(std::string_view bytes) {
    return read({bytes});
}

TEST(HTTPRequestReader, ReadsMethodPathHeadersAndBody) {
    const auto outcome = read(
        "POST /mcp?x=%20 HTTP/1.1\r\nHost: 127.0.0.1:47293\r\nContent-Type: application/json\r\n"
        "Content-Length: 2\r\n\r\n{}");
    ASSERT_EQ(outcome.status, Status::complete);
    EXPECT_EQ(outcome.request.method, "POST");
    EXPECT_EQ(outcome.request.path, "/mcp?x=%20");
    const mcp::HTTPHeaders headers{
        {"Host", "127.0.0.1:47293"}, {"Content-Type", "application/json"}, {"Content-Length", "2"}};
    EXPECT_EQ(outcome.request.headers, headers);
    EXPECT_EQ(outcome.request.body, "{}");
}

TEST(HTTPRequestReader, RequestLinesAndHeaderLines) {
    const struct {
        const char* name;
        std::string bytes;
        Status status;
        std::string method, path;
        mcp::HTTPHeaders headers;
    } kCases[] = {
        {"doubled blanks", "get   /a    HTTP/1.1\r\n\r\n", Status::complete, "get", "/a", {}},
        {"no version", "PUT /b\r\n\r\n", Status::complete, "PUT", "/b", {}},
        {"one word", "POST\r\n\r\n", Status::dropped, "", "", {}},
        {"empty request line", "\r\nHost: x\r\n\r\n", Status::dropped, "", "", {}},
        {"no blank after colon", "POST / HTTP/1.1\r\nAccept:application/json\r\n\r\n", Status::complete, "POST",
         "/", {{"Accept", "application/json"}}},
        {"padding trimmed", "POST / HTTP/1.1\r\n \tAccept \t:  \u00A0json\t \r\n\r\n", Status::complete, "POST", "/",
         {{"Accept", "json"}}},
        {"padding only at the ends", "POST / HTTP/1.1\r\nX-Name: \u2003caf\u00E9 \u00A0au\tlait\u00E9\u3000\t\r\nX-Blank: \u00A0\t \r\n\r\n",
         Status::complete, "POST", "/", {{"X-Name", "caf\u00E9 \u00A0au\tlait\u00E9"}, {"X-Blank", ""}}},
        {"line without colon skipped", "POST / HTTP/1.1\r\nnonsense\r\nA: 1\r\n\r\n", Status::complete, "POST", "/",
         {{"A", "1"}}},
        {"value keeps later colons", "POST / HTTP/1.1\r\nHost: 127.0.0.1:80\r\n\r\n", Status::complete, "POST", "/",
         {{"Host", "127.0.0.1:80"}}},
        {"same name replaces", "POST / HTTP/1.1\r\nA: 1\r\nB: 2\r\nA: 3\r\n\r\n", Status::complete, "POST", "/",
         {{"A", "3"}, {"B", "2"}}},
        {"names differing in case kept apart", "POST / HTTP/1.1\r\nA: 1\r\na: 2\r\n\r\n", Status::complete, "POST",
         "/", {{"A", "1"}, {"a", "2"}}},
        {"head not UTF-8", "POST /\xff HTTP/1.1\r\n\r\n", Status::dropped, "", "", {}},
        {"header not UTF-8", "POST / HTTP/1.1\r\nA: \xc3\x28\r\n\r\n", Status::dropped, "", "", {}},
        {"UTF-8 header value", "POST / HTTP/1.1\r\nX-Vantor-MCP-Client: Cl\u00e4ude\r\n\r\n", Status::complete,
         "POST", "/", {{"X-Vantor-MCP-Client", "Cl\u00e4ude"}}},
        {"lines ended by line feeds alone never end the head", "POST / HTTP/1.1\nA: 1\n\n", Status::reading, "", "",
         {}},
    };
    for (const auto& c : kCases) {
        const auto outcome = read(c.bytes);
        ASSERT_EQ(outcome.status, c.status) << c.name;
        if (c.status != Status::complete) continue;
        EXPECT_EQ(outcome.request.method, c.method) << c.name;
        EXPECT_EQ(outcome.request.path, c.path) << c.name;
        EXPECT_EQ(outcome.request.headers, c.headers) << c.name;
        EXPECT_EQ(outcome.request.body, std::nullopt) << c.name;
    }
}

TEST(HTTPRequestReader, ContentLength) {
    const std::string body = "0123456789";
    const struct {
        const char* name;
        std::string header;
        Status status;
        std::optional<std::string> want;
    } kCases[] = {
        {"exact", "Content-Length: 10", Status::complete, body},
        {"lower case name", "content-length: 4", Status::complete, "0123"},
        {"upper case name", "CONTENT-LENGTH: 4", Status::complete, "0123"},
        {"more bytes than announced are cut", "Content-Length: 5", Status::complete, "01234"},
        {"none", "X: y", Status::complete, std::nullopt},
        {"zero", "Content-Length: 0", Status::complete, std::nullopt},
        {"leading zeros", "Content-Length: 003", Status::complete, "012"},
        {"padding trimmed", "Content-Length: \t 3 ", Status::complete, "012"},
        {"two lines that agree", "content-length: 2\r\nContent-Length: 2", Status::complete, "01"},
        {"plus sign", "Content-Length: +3", Status::badRequest, std::nullopt},
        {"negative", "Content-Length: -5", Status::badRequest, std::nullopt},
        {"not a number", "Content-Length: ten", Status::badRequest, std::nullopt},
        {"inner blank", "Content-Length: 1 0", Status::badRequest, std::nullopt},
        {"doubled sign", "Content-Length: +-3", Status::badRequest, std::nullopt},
        {"empty", "Content-Length:", Status::badRequest, std::nullopt},
        {"two lines that disagree", "content-length: 2\r\nContent-Length: 6", Status::badRequest, std::nullopt},
        {"same name twice, disagreeing", "Content-Length: 2\r\nContent-Length: 6", Status::badRequest, std::nullopt},
        {"beyond 64 bits is dropped", "Content-Length: 99999999999999999999", Status::dropped, std::nullopt},
        {"longer than the bytes sent", "Content-Length: 11", Status::reading, std::nullopt},
        {"largest accepted", "Content-Length: 4194304", Status::reading, std::nullopt},
        {"one more is dropped", "Content-Length: 4194305", Status::dropped, std::nullopt},
    };
    for (const auto& c : kCases) {
        const auto outcome = read("POST / HTTP/1.1\r\n" + c.header + "\r\n\r\n" + body);
        ASSERT_EQ(outcome.status, c.status) << c.name;
        if (c.status == Status::complete) {
            EXPECT_EQ(outcome.request.body, c.want) << c.name;
        }
    }
}

TEST(HTTPRequestReader, AHeadThatFramesTheRequestAmbiguouslyIsRefused) {
    using Reason = HTTPRequestReader::BadRequestReason;
    const struct {
        const char* name;
        std::string headers;
        std::optional<Reason> want;
    } kCases[] = {
        {"one Host", "Host: a", std::nullopt},
        {"two Hosts", "Host: a\r\nHost: b", Reason::repeatedHost},
        {"two equal Hosts", "Host: a\r\nHost: a", Reason::repeatedHost},
        {"Hosts differing in case", "Host: a\r\nhost: a", Reason::repeatedHost},
        {"a signed length", "Content-Length: +46", Reason::invalidContentLength},
        {"lengths that disagree", "Content-Length: 2\r\ncontent-length: 3", Reason::invalidContentLength},
        {"both", "Content-Length: x\r\nHost: a\r\nHost: b", Reason::repeatedHost},
    };
    for (const auto& c : kCases) {
        HTTPRequestReader reader;
        reader.feed("POST / HTTP/1.1\r\n" + c.headers + "\r\n\r\n");
        EXPECT_EQ(reader.status() == Status::badRequest, c.want.has_value()) << c.name;
        EXPECT_EQ(reader.badRequestReason(), c.want) << c.name;
        EXPECT_EQ(reader.dropReason(), std::nullopt) << c.name;
    }
}

TEST(HTTPRequestReader, ATransferCodingIsRefusedNotReadAsTheBody) {
    for (const std::string header : {"Transfer-Encoding: chunked", "transfer-encoding: gzip, chunked",
                                     "Transfer-Encoding: chunked\r\nContent-Length: 5",
                                     "Transfer-Encoding: chunked\r\nContent-Length: +5"}) {
        const auto outcome = read("POST / HTTP/1.1\r\n" + header + "\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
        EXPECT_EQ(outcome.status, Status::lengthRequired) << header;
    }
}

TEST(HTTPRequestReader, SameRequestWhereverTheBytesAreSplit) {
    const std::string bytes = "POST /mcp HTTP/1.1\r\nHost: h\r\nContent-Length: 12\r\n\r\n{\"a\":\"\u00e4\u00e4\"}";
    const auto whole = read(bytes);
    ASSERT_EQ(whole.status, Status::complete);
    for (std::size_t at = 0; at <= bytes.size(); ++at) {
        const std::string_view view(bytes);
        const auto split = read({view.substr(0, at), view.substr(at)});
        ASSERT_EQ(split.status, Status::complete) << "split at " << at;
        EXPECT_EQ(split.request, whole.request) << "split at " << at;
    }

    HTTPRequestReader reader;
    for (const char byte : bytes) {
        EXPECT_EQ(reader.status(), Status::reading);
        reader.feed(std::string_view(&byte, 1));
    }
    ASSERT_EQ(reader.status(), Status::complete);
    EXPECT_EQ(reader.takeRequest(), whole.request);
}

TEST(HTTPRequestReader, TellsWhenTheBodyIsAwaited) {
    HTTPRequestReader reader;
    EXPECT_EQ(reader.feed("POST / HTTP/1.1\r\nContent-Length: 4\r\n"), Status::reading);
    EXPECT_FALSE(reader.readingBody());
    EXPECT_EQ(reader.feed("\r\nab"), Status::reading);
    EXPECT_TRUE(reader.readingBody());
    EXPECT_EQ(reader.feed("cdef"), Status::complete);
    EXPECT_FALSE(reader.readingBody());
    // Once complete, more bytes change nothing.
    EXPECT_EQ(reader.feed("ghi"), Status::complete);
    EXPECT_EQ(reader.takeRequest().body, "abcd");
}

TEST(HTTPRequestReader, AHeadThatReachesItsCapWithoutItsEndIsDropped) {
    const std::string start = "POST / HTTP/1.1\r\nX: ";
    HTTPRequestReader reader;
    reader.feed(start);
    const std::string filler(4'096, 'a');
    std::size_t fed = start.size();
    while (reader.status() == Status::reading && fed < 2 * HTTPRequestReader::kMaxHeadBytes) {
        reader.feed(filler);
        fed += filler.size();
    }
    EXPECT_EQ(reader.status(), Status::dropped);
    EXPECT_LT(fed, HTTPRequestReader::kMaxHeadBytes + filler.size());

    HTTPRequestReader oneShort;
    oneShort.feed(start + std::string(HTTPRequestReader::kMaxHeadBytes - 1 - start.size(), 'a'));
    EXPECT_EQ(oneShort.status(), Status::reading);
    oneShort.feed("b");
    EXPECT_EQ(oneShort.status(), Status::dropped);
}

// A head of many distinct names: such heads, sent without the token, must cost the host little.
std::string headOfNames(std::size_t lines, std::size_t nameLength = 8) {
    std::string head = "POST / HTTP/1.1\r\n";
    for (std::size_t line = 1; line < lines; ++line) {
        auto name = std::to_string(line);
        name.insert(0, nameLength - std::min(nameLength, name.size()), 'n');
        head += name + ": v\r\n";
    }
    return head + "\r\n";
}

TEST(HTTPRequestReader, TheHeadIsCappedInSizeAndInLines) {
    const auto limit = HTTPRequestReader::kMaxHeadBytes;
    const std::string line = "POST / HTTP/1.1\r\nX: ";
    const struct {
        const char* name;
        std::string head;
        Status want;
    } kCases[] = {
        {"as long as the cap", line + std::string(limit - line.size() - 4, 'a') + "\r\n\r\n", Status::complete},
        {"a byte beyond the cap", line + std::string(limit - line.size() - 3, 'a') + "\r\n\r\n", Status::dropped},
        {"as many lines as the cap", headOfNames(HTTPRequestReader::kMaxHeadLines), Status::complete},
        {"a line beyond the cap", headOfNames(HTTPRequestReader::kMaxHeadLines + 1), Status::dropped},
    };
    for (const auto& c : kCases) {
        HTTPRequestReader reader;
        EXPECT_EQ(reader.feed(c.head), c.want) << c.name;
    }
}

TEST(HTTPRequestReader, SaysWhyItDroppedARequest) {
    using Reason = HTTPRequestReader::DropReason;
    const auto limit = HTTPRequestReader::kMaxHeadBytes;
    const struct {
        const char* name;
        std::string bytes;
        std::optional<Reason> want;
    } kCases[] = {
        {"a complete request", "POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}", std::nullopt},
        {"a request still read", "POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\n{", std::nullopt},
        {"a refused transfer coding", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", std::nullopt},
        {"a head beyond its cap", "POST / HTTP/1.1\r\nX: " + std::string(limit, 'a') + "\r\n\r\n", Reason::headTooLarge},
        {"a head that reaches its cap without its end", "POST / HTTP/1.1\r\nX: " + std::string(limit, 'a'),
         Reason::headTooLarge},
        {"a line beyond the cap", headOfNames(HTTPRequestReader::kMaxHeadLines + 1), Reason::tooManyHeadLines},
        {"a head not UTF-8", "POST /\xff HTTP/1.1\r\n\r\n", Reason::headNotUTF8},
        {"a request line of one word", "POST\r\n\r\n", Reason::noMethodAndPath},
        {"a body beyond its cap", "POST / HTTP/1.1\r\nContent-Length: 4194305\r\n\r\n", Reason::bodyTooLarge},
    };
    for (const auto& c : kCases) {
        HTTPRequestReader reader;
        reader.feed(c.bytes);
        EXPECT_EQ(reader.status() == Status::dropped, c.want.has_value()) << c.name;
        EXPECT_EQ(reader.dropReason(), c.want) << c.name;
    }
}

TEST(HTTPRequestReader, KeepsEveryDistinctNameOfALongHeadInOrder) {
    HTTPRequestReader reader;
    ASSERT_EQ(reader.feed(headOfNames(HTTPRequestReader::kMaxHeadLines)), Status::complete);
    const auto request = reader.takeRequest();
    ASSERT_EQ(request.headers.size(), HTTPRequestReader::kMaxHeadLines - 1);
    EXPECT_EQ(request.headers.front().first, "nnnnnnn1");
    EXPECT_EQ(request.headers.back().first, "nnnnn255");
}

TEST(HTTPRequestReader, ReadsABodyOfTheLargestAcceptedLength) {
    HTTPRequestReader reader;
    reader.feed("POST / HTTP/1.1\r\nContent-Length: 4194304\r\n\r\n");
    const std::string chunk(65'536, 'z');
    for (int i = 0; i < 64; ++i) reader.feed(chunk);
    ASSERT_EQ(reader.status(), Status::complete);
    EXPECT_EQ(reader.takeRequest().body->size(), 4'194'304u);
}

}  // namespace
}  // namespace app
