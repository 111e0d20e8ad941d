#pragma once

#include "logging/text_output_stream.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace logging::testing {

// A TextOutputStream that keeps every write() as it came.
class CapturingStream final : public TextOutputStream {
public:
    void write(std::string_view text) override {
        const std::lock_guard<std::mutex> guard(mutex_);
        writes_.emplace_back(text);
    }
    std::vector<std::string> writes() const {
        const std::lock_guard<std::mutex> guard(mutex_);
        return writes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> writes_;
};

}  // namespace logging::testing
