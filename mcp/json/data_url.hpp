#pragma once

// Data URLs: the JSON form of raw bytes ("data:image/png;base64,iVBOR...").
//
// A text is a data URL when the whole of it reads, in this order: "data:", a MIME type without
// "," or ";", optionally ";charset=" and a non-empty charset, optionally ";base64", then ","
// and any payload. All literal parts are case-sensitive; any other parameter (";name=x")
// makes the text no data URL.

#include <optional>
#include <string>
#include <string_view>

namespace mcp {

// The MIME type and the bytes that a data URL carries.
struct DataURLContent {
    std::string mimeType;
    std::string data;

    friend bool operator==(const DataURLContent&, const DataURLContent&) = default;
};

// True when the whole of `text` matches the data-URL grammar above. Rejects any text that
// does not start with "data:" after looking at five bytes.
bool isDataURL(std::string_view text) noexcept;

// Reads a data URL. The payload is base64 when the text contains ";base64," anywhere, and
// percent-encoded otherwise; an empty MIME type reads as "text/plain", and the charset is
// kept (as ";charset=...") only for MIME types starting with "text/". Absent when the text
// is no data URL, the base64 is malformed, or the percent-decoded bytes are not UTF-8.
std::optional<DataURLContent> parseDataURL(std::string_view text);

// The data URL of `bytes`: "data:" + the MIME type ("text/plain" when absent) + ";base64,"
// + the bytes in padded base64. Never adds a charset.
std::string dataURLEncoded(std::string_view bytes, const std::optional<std::string>& mimeType = std::nullopt);

// Appends what `dataURLEncoded` returns to `out`, without a temporary copy.
void appendDataURL(std::string& out, std::string_view bytes, const std::optional<std::string>& mimeType);

}  // namespace mcp
