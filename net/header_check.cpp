#include "net/header_check.hpp"

#include "net/error.hpp"

#include <string>

namespace net {

bool isSafeFieldText(std::string_view text) noexcept {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

void checkHeaderFields(const HeaderMap& headers) {
    for (const auto& [name, value] : headers) {
        if (!isSafeFieldText(name)) fail(Error::unsafeHeader);
        if (!isSafeFieldText(value)) fail(Error::unsafeHeader, "header \"" + name + "\"");
    }
}

}  // namespace net
