#include "platform/error.hpp"

#include <cstring>

namespace platform {

Error errnoError(const std::string& what, int errnum) {
    return Error(what + ": " + std::strerror(errnum));
}

}  // namespace platform
