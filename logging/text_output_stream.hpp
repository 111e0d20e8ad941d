#pragma once

#include <string_view>

namespace logging {

// TextOutputStream: where a StreamLogHandler writes. The handler calls write() once per log
// line, with the whole line and its line feed. Copies of a handler share their stream and may
// run on several threads, so write() must be safe to call concurrently and must keep each call's
// text together.
class TextOutputStream {
public:
    virtual ~TextOutputStream() = default;
    virtual void write(std::string_view text) = 0;

protected:
    TextOutputStream() = default;
    TextOutputStream(const TextOutputStream&) = default;
    TextOutputStream& operator=(const TextOutputStream&) = default;
};

}  // namespace logging
