#include "eventsource/size_limit_error.hpp"

#include <string>

namespace eventsource {
namespace {

std::string describe(SizeLimitError::Kind kind, std::size_t limit) {
    const std::string bytes = std::to_string(limit) + " bytes";
    switch (kind) {
        case SizeLimitError::Kind::line:
            return "Server-sent event line refused: longer than " + bytes;
        case SizeLimitError::Kind::event:
            return "Server-sent event refused: its data is larger than " + bytes;
    }
    return "Server-sent event refused: larger than " + bytes;
}

}  // namespace

SizeLimitError::SizeLimitError(Kind kind, std::size_t limit)
    : std::runtime_error(describe(kind, limit)), kind_(kind), limit_(limit) {}

}  // namespace eventsource
