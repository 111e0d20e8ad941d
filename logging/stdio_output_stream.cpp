#include "logging/stdio_output_stream.hpp"

namespace logging {

const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardOutput() {
    // Never destroyed: a logger may still write while other static objects are torn down.
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(
        std::make_shared<StdioOutputStream>(stdout, FlushMode::always));
    return *stream;
}

const std::shared_ptr<StdioOutputStream>& StdioOutputStream::standardError() {
    static const auto* stream = new std::shared_ptr<StdioOutputStream>(
        std::make_shared<StdioOutputStream>(stderr, FlushMode::always));
    return *stream;
}

void StdioOutputStream::write(std::string_view text) {
    flockfile(file_);
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file_);
    funlockfile(file_);
    if (flushMode_ == FlushMode::always) std::fflush(file_);
}

}  // namespace logging
