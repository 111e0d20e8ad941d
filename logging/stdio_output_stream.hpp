#pragma once

#include "logging/text_output_stream.hpp"

#include <cstdio>
#include <memory>

namespace logging {

// StdioOutputStream: a TextOutputStream over a C stdio stream. Each write() is one fwrite()
// under the stream's own lock (flockfile), so texts written from several threads never
// interleave; with FlushMode::always the stream is flushed after each write. Write errors are
// not reported: a failed or short write loses (part of) the text.
class StdioOutputStream final : public TextOutputStream {
public:
    enum class FlushMode { undefined, always };

    // Writes to `file`, which must stay open as long as the stream is used; it is not closed.
    StdioOutputStream(std::FILE* file, FlushMode flushMode) : file_(file), flushMode_(flushMode) {}

    // The process's standard output and standard error, flushed after every write. Made on
    // first use and kept until the process ends.
    static const std::shared_ptr<StdioOutputStream>& standardOutput();
    static const std::shared_ptr<StdioOutputStream>& standardError();

    void write(std::string_view text) override;

    FlushMode flushMode() const noexcept { return flushMode_; }

private:
    std::FILE* file_;
    FlushMode flushMode_;
};

}  // namespace logging
