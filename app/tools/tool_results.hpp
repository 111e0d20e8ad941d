#pragma once

#include "app/looking/window_share.hpp"

#include "mcp/catalogue/tool_content.hpp"
#include "mcp/json/value.hpp"

#include <optional>
#include <string>

// The tools' results: a small JSON object addressed to the agent, written as one text item,
// and the picture as an image item. Pure functions; any thread.
namespace app {

// pictureFacts: what the agent learns of a picture: "app", "width", "height", how to point
// ("pointing") and to end ("when_done"), the window's title under "window" when it was read
// for this picture (else "window_when_picked"), and "shared_for_seconds", the whole seconds
// left of a five-minute share, while sharing holds one whose grant hasn't run out at now.
mcp::ValueObject pictureFacts(const WindowShare::Picture& picture, const std::optional<WindowShare::Sharing>& sharing,
                              WindowShare::Clock::time_point now);

// jsonText: the object as compact JSON with its keys sorted, "/" unescaped and non-ASCII text as
// UTF-8; "{}" when it can't be written.
std::string jsonText(const mcp::ValueObject& object);

// pictureItem: the picture as an image item: its bytes in standard padded base64 on one line,
// with its MIME type.
mcp::Tool::Content pictureItem(const WindowShare::Picture& picture);

}  // namespace app
