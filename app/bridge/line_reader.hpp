#pragma once

#include "mcp/json/value.hpp"

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

namespace app {

// InputLine: one line of the bridge's input, without its line terminator.
struct InputLine {
    // The line, when it fits the reader's limit; empty when it doesn't.
    std::string text;
    // Whether the line is longer than the limit; its bytes were read and dropped then.
    bool tooLarge = false;
    // The line's length in bytes, also when it was too large.
    std::size_t size = 0;
    // For a line too large: the "id" member of the JSON object it starts, when its text could
    // be read; none for a line that is no object or names no id.
    std::optional<mcp::Value> id;
};

// LineReader: reads lines (each ended by a line feed, or a carriage return and a line feed; a
// last line without one counts too) holding at most `limit` bytes of any one line: a client
// that writes a line of hundreds of megabytes costs the bridge no more memory than a line of
// the limit. Of a line too large only its size and its id are kept, so that the client can
// be told which of its requests was refused.
//
// Reads from the stream's buffer as the bytes arrive: a line is handed out as soon as its
// line feed has come. One thread.
class LineReader {
public:
    LineReader(std::istream& input, std::size_t limit);

    // next: the next line; none once the input has ended.
    std::optional<InputLine> next();

private:
    std::streambuf& input_;
    std::size_t limit_;
};

}  // namespace app
