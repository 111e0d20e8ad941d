#include "platform/openssl_random.hpp"

#include "platform/error.hpp"

#include <openssl/err.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <string>

namespace platform {

void OpenSSLRandom::fill(std::span<std::byte> bytes) {
    while (!bytes.empty()) {
        const auto count = std::min<std::size_t>(bytes.size(), INT_MAX);
        if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
            const auto code = ERR_get_error();
            char reason[256] = "unknown error";
            if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
            throw Error(std::string("The secure random source failed: ") + reason);
        }
        bytes = bytes.subspan(count);
    }
}

}  // namespace platform
