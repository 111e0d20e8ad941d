#pragma once

// HeaderMap: HTTP header fields looked up by name without regard to ASCII case. A field
// added under a name already present is merged into it, the values joined with ", ", as
// HTTP allows for repeated fields: two "WWW-Authenticate" fields read as one value holding
// both challenges. The first spelling of a name is kept, and fields keep their order.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

class HeaderMap {
public:
    using Field = std::pair<std::string, std::string>;

    HeaderMap() = default;
    HeaderMap(std::initializer_list<Field> fields);

    // The value of the field `name`, or absent.
    std::optional<std::string> get(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }

    // Replaces the field `name` (keeping its place) or appends it.
    void set(std::string_view name, std::string value);
    // Appends `value` to the field `name` after ", ", or appends the field.
    void add(std::string_view name, std::string_view value);
    // Removes the field `name`; nothing when there is none.
    void remove(std::string_view name);

    const std::vector<Field>& fields() const noexcept { return fields_; }
    std::vector<Field>::const_iterator begin() const noexcept { return fields_.begin(); }
    std::vector<Field>::const_iterator end() const noexcept { return fields_.end(); }
    std::size_t size() const noexcept { return fields_.size(); }
    bool empty() const noexcept { return fields_.empty(); }

    friend bool operator==(const HeaderMap&, const HeaderMap&) = default;

private:
    const Field* find(std::string_view name) const;
    Field* find(std::string_view name);

    std::vector<Field> fields_;
};

// True when `a` and `b` are equal ignoring ASCII case, as header names compare.
bool sameFieldName(std::string_view a, std::string_view b) noexcept;

}  // namespace net
