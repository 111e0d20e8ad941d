// The host's request reader on any bytes a peer may send, in the pieces they may arrive in.

#include "app/host/http_request_reader.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte says where the rest is split in two, as two reads would deliver it.
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto split = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);

    app::HTTPRequestReader whole;
    app::HTTPRequestReader pieces;
    whole.feed(bytes);
    pieces.feed(bytes.substr(0, split));
    pieces.feed(bytes.substr(split));
    // Where the bytes are split changes nothing.
    if (whole.status() != pieces.status()) std::abort();
    if (whole.status() != app::HTTPRequestReader::Status::complete) return 0;

    const auto request = whole.takeRequest();
    if (request != pieces.takeRequest()) std::abort();
    if (request.body && (request.body->empty() || request.body->size() > app::HTTPRequestReader::kMaxContentLength)) {
        std::abort();
    }
    return 0;
}
