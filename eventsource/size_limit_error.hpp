#pragma once

#include <cstddef>
#include <stdexcept>

namespace eventsource {

// A line or an event of a stream that was larger than the parser's configured limit. The
// parser reports it in the place of the event whose block held it and then goes on with the
// rest of the stream.
class SizeLimitError : public std::runtime_error {
public:
    enum class Kind {
        line,   // one line, without its line end, was longer than the line limit
        event,  // the joined data of one event grew past the event limit
    };

    SizeLimitError(Kind kind, std::size_t limit);

    Kind kind() const noexcept { return kind_; }
    // The limit that was passed, in bytes.
    std::size_t limit() const noexcept { return limit_; }

private:
    Kind kind_;
    std::size_t limit_;
};

}  // namespace eventsource
