#include "app/tools/tool_results.hpp"

#include "mcp/json/json.hpp"

#include <openssl/evp.h>

#include <chrono>
#include <exception>

namespace app {

mcp::ValueObject pictureFacts(const WindowShare::Picture& picture, const std::optional<WindowShare::Sharing>& sharing,
                              WindowShare::Clock::time_point now) {
    mcp::ValueObject facts{
        {"app", picture.window.app},
        {"width", picture.width},
        {"height", picture.height},
        {"pointing", "point takes x and y in this picture's pixels, from its top left corner"},
        {"when_done", "call finish, so the user isn't left waiting for a next hint"},
        {picture.titleIsCurrent ? "window" : "window_when_picked", picture.window.title},
    };
    if (sharing && sharing->grant == platform::ShareGrant::fiveMinutes && sharing->until > now) {
        const auto left = std::chrono::duration_cast<std::chrono::seconds>(sharing->until - now);
        facts.insertOrAssign("shared_for_seconds", static_cast<std::int64_t>(left.count()));
    }
    return facts;
}

std::string jsonText(const mcp::ValueObject& object) {
    try {
        return mcp::writeJSON(mcp::Value(object), mcp::KeyOrder::sorted);
    } catch (const std::exception&) {
        return "{}";
    }
}

mcp::Tool::Content pictureItem(const WindowShare::Picture& picture) {
    // Four characters for every three bytes or part of them, and the terminating zero that
    // EVP_EncodeBlock writes.
    std::string data(4 * ((picture.data.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(data.data()), picture.data.data(),
                                        static_cast<int>(picture.data.size()));
    data.resize(static_cast<std::size_t>(written));
    return mcp::Tool::Content::image(std::move(data), picture.mimeType);
}

}  // namespace app
