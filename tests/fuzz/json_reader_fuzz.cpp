// The JSON reader on any text, and the writer on whatever the reader accepts.

#include "mcp/json/json.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    mcp::Value value;
    try {
        value = mcp::parseJSON(text);
    } catch (const mcp::DecodingError&) {
        return 0;
    }
    // What was read can be written, and what is written reads again, to the same text.
    std::string written;
    try {
        written = mcp::writeJSON(value, mcp::KeyOrder::sorted);
    } catch (const mcp::EncodingError&) {
        // Numbers the writer refuses (none that JSON text can hold) end here.
        return 0;
    }
    if (mcp::writeJSON(mcp::parseJSON(written), mcp::KeyOrder::sorted) != written) std::abort();
    return 0;
}
