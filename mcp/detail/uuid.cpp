#include "mcp/detail/uuid.hpp"

#include <openssl/rand.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>

namespace mcp::detail {
namespace {

// Random bytes drawn in blocks: every request of a client takes a fresh id, and one call to
// the random source costs far more than the 16 bytes it gives (it checks for a fork, locks
// and sets up its generator each time).
struct RandomBlock {
    static constexpr std::size_t kUUIDs = 64;
    std::array<unsigned char, 16 * kUUIDs> bytes;
    std::size_t taken = bytes.size();
};

thread_local RandomBlock block;

// A forked child must not hand out the values its parent still has in its block. Only the
// thread that forked lives on in the child, so its block is the only one to drop.
void dropBlockInChild() { block.taken = block.bytes.size(); }

void draw(unsigned char* bytes, std::size_t size) {
    if (RAND_bytes(bytes, static_cast<int>(size)) != 1) throw std::runtime_error("No random bytes available for a UUID");
}

void takeUUIDBytes(std::array<unsigned char, 16>& bytes) {
    static const bool forkWatched = pthread_atfork(nullptr, nullptr, dropBlockInChild) == 0;
    if (!forkWatched) {
        draw(bytes.data(), bytes.size());
        return;
    }
    if (block.taken == block.bytes.size()) {
        draw(block.bytes.data(), block.bytes.size());
        block.taken = 0;
    }
    std::copy_n(block.bytes.begin() + static_cast<std::ptrdiff_t>(block.taken), bytes.size(), bytes.begin());
    block.taken += bytes.size();
}

}  // namespace

std::string randomUUID() {
    std::array<unsigned char, 16> bytes{};
    takeUUIDBytes(bytes);
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);

    constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace mcp::detail
