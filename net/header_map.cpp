#include "net/header_map.hpp"

#include <algorithm>

namespace net {

namespace {

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool sameFieldName(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

HeaderMap::HeaderMap(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) add(name, value);
}

const HeaderMap::Field* HeaderMap::find(std::string_view name) const {
    const auto found = std::find_if(fields_.begin(), fields_.end(),
                                    [&](const Field& field) { return sameFieldName(field.first, name); });
    return found == fields_.end() ? nullptr : &*found;
}

HeaderMap::Field* HeaderMap::find(std::string_view name) {
    return const_cast<Field*>(std::as_const(*this).find(name));
}

std::optional<std::string> HeaderMap::get(std::string_view name) const {
    if (const auto* field = find(name)) return field->second;
    return std::nullopt;
}

void HeaderMap::set(std::string_view name, std::string value) {
    if (auto* field = find(name)) {
        field->second = std::move(value);
        return;
    }
    fields_.emplace_back(std::string(name), std::move(value));
}

void HeaderMap::add(std::string_view name, std::string_view value) {
    if (auto* field = find(name)) {
        field->second.append(", ").append(value);
        return;
    }
    fields_.emplace_back(std::string(name), std::string(value));
}

void HeaderMap::remove(std::string_view name) {
    std::erase_if(fields_, [&](const Field& field) { return sameFieldName(field.first, name); });
}

}  // namespace net
