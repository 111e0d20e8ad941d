#include "eventsource/writer.hpp"

#include <stdexcept>

namespace eventsource {

bool isValidSSEField(std::string_view text) noexcept {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string encodeSSEEvent(const Event& event) {
    if ((event.id && !isValidSSEField(*event.id)) || (event.event && !isValidSSEField(*event.event))) {
        throw std::invalid_argument("An event's id and type can't hold a line break or NUL");
    }
    std::string text;
    text.reserve(event.data.size() + 64);
    if (event.id) text += "id: " + *event.id + "\n";
    if (event.event) text += "event: " + *event.event + "\n";
    if (event.retry) text += "retry: " + std::to_string(*event.retry) + "\n";

    std::string_view data = event.data;
    while (true) {
        const auto lineEnd = data.find_first_of("\r\n");
        text += "data: ";
        text += data.substr(0, lineEnd);
        text += '\n';
        if (lineEnd == std::string_view::npos) break;
        const bool crlf = data[lineEnd] == '\r' && lineEnd + 1 < data.size() && data[lineEnd + 1] == '\n';
        data.remove_prefix(lineEnd + (crlf ? 2 : 1));
    }
    text += '\n';
    return text;
}

}  // namespace eventsource
