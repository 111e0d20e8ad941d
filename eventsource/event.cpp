#include "eventsource/event.hpp"

#include <boost/json/value.hpp>

namespace eventsource {
namespace {

template <class T>
std::optional<T> optionalMember(const boost::json::object& object, std::string_view key) {
    const auto* member = object.if_contains(key);
    if (member == nullptr || member->is_null()) return std::nullopt;
    return boost::json::value_to<T>(*member);
}

}  // namespace

void tag_invoke(boost::json::value_from_tag, boost::json::value& json, const Event& event) {
    auto& object = json.emplace_object();
    if (event.id) object.emplace("id", *event.id);
    if (event.event) object.emplace("event", *event.event);
    object.emplace("data", event.data);
    if (event.retry) object.emplace("retry", *event.retry);
}

Event tag_invoke(boost::json::value_to_tag<Event>, const boost::json::value& json) {
    const auto& object = json.as_object();
    return Event{
        .id = optionalMember<std::string>(object, "id"),
        .event = optionalMember<std::string>(object, "event"),
        .data = boost::json::value_to<std::string>(object.at("data")),
        .retry = optionalMember<std::int64_t>(object, "retry"),
    };
}

}  // namespace eventsource

std::size_t std::hash<eventsource::Event>::operator()(const eventsource::Event& event) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    mix(std::hash<std::optional<std::string>>{}(event.id));
    mix(std::hash<std::optional<std::string>>{}(event.event));
    mix(std::hash<std::string>{}(event.data));
    mix(std::hash<std::optional<std::int64_t>>{}(event.retry));
    return seed;
}
