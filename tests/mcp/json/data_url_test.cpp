#include "mcp/json/data_url.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

TEST(DataURL, ReadsWellFormedURLs) {
    const struct {
        std::string_view text;
        std::string_view mimeType;
        std::string_view data;
    } kCases[] = {
        {"data:,Hello%2C%20World", "text/plain", "Hello, World"},
        {"data:text/plain;charset=UTF-8;base64,SGVsbG8=", "text/plain;charset=UTF-8", "Hello"},
        {"data:image/png;charset=UTF-8;base64,AAAA", "image/png", std::string_view("\0\0\0", 3)},
        {"data:;base64,", "text/plain", ""},
        {"data:,", "text/plain", ""},
        {"data:image/png;base64,iVBORw==", "image/png", "\x89PNG"},
        {"data:text/plain,a+b", "text/plain", "a+b"},
        {"data:text/plain,line\nbreak", "text/plain", "line\nbreak"},
        {"data:,%C3%A9t%C3%A9", "text/plain", "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(isDataURL(c.text));
        const auto content = parseDataURL(c.text);
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->mimeType, c.mimeType);
        EXPECT_EQ(content->data, c.data);
    }
}

TEST(DataURL, RefusesTextsThatAreNotReadableDataURLs) {
    const struct {
        std::string_view text;
        bool matchesGrammar;
    } kCases[] = {
        {"DATA:,x", false},                       // the scheme is case-sensitive
        {"data:text/plain;name=a,x", false},      // no other parameter
        {"data:text/plain", false},               // no comma
        {"data:text/plain;charset=,x", false},    // empty charset
        {"data:text/plain;base64;charset=x,", false},
        {"plain text", false},
        {"", false},
        {"data:;base64,!!!!", true},              // bad base64
        {"data:;base64,SGVsbG8", true},           // missing padding
        {"data:;base64,SGVs bG8=", true},         // white space
        {"data:,100%", true},                     // bad escape
        {"data:,%4", true},
        {"data:,%C3", true},                      // decodes to invalid UTF-8
        {"data:text/plain,a;base64,b", true},     // contains ";base64," so it is read as base64
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isDataURL(c.text), c.matchesGrammar);
        EXPECT_FALSE(parseDataURL(c.text).has_value());
    }
}

TEST(DataURL, EncodesAsBase64WithTheMIMETypeOrTextPlain) {
    EXPECT_EQ(dataURLEncoded("Hello", std::string("image/png")), "data:image/png;base64,SGVsbG8=");
    EXPECT_EQ(dataURLEncoded("Hello"), "data:text/plain;base64,SGVsbG8=");
    EXPECT_EQ(dataURLEncoded(""), "data:text/plain;base64,");
    EXPECT_EQ(dataURLEncoded("ab"), "data:text/plain;base64,YWI=");
}

TEST(DataURL, EncodedBytesReadBack) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (std::size_t length = 0; length <= 7; ++length) {
        SCOPED_TRACE(length);
        const auto content = parseDataURL(dataURLEncoded(bytes.substr(0, length), std::string("application/octet-stream")));
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->data, bytes.substr(0, length));
    }
    const auto whole = parseDataURL(dataURLEncoded(bytes));
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->data, bytes);
}

}  // namespace
}  // namespace mcp
