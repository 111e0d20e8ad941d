#pragma once

// Codec<T>: how a type is written to and read from a JSON `Value`. Every protocol type has
// exactly one specialisation:
//
//     template <> struct Codec<Icon> {
//         static Value encode(const Icon& icon);
//         static Icon decode(const Value& value, const CodingPath& path);
//     };
//
// `encode` gives the JSON form, members in field order (the sorted writer reorders them when
// the server sends); `decode` throws `DecodingError` with the path of the failing value. Text
// only enters at the edges: `parseJSON` and `writeJSON` in "mcp/json.hpp".
//
// Records are written with `ObjectBuilder` and read with `ObjectReader`, which keep the
// protocol's rules in one place: a missing key is never the same as null, an optional member
// that is null reads as absent, and members a record does not name are ignored.

#include "mcp/json/coding.hpp"
#include "mcp/json/value.hpp"

#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcp {

template <class T>
struct Codec;

// A type with a `Codec` specialisation.
template <class T>
concept Codable = requires(const T& object, const Value& value, const CodingPath& path) {
    { Codec<T>::encode(object) } -> std::same_as<Value>;
    { Codec<T>::decode(value, path) } -> std::same_as<T>;
};

// The JSON form of `object`. Throws what its codec throws.
template <Codable T>
Value encode(const T& object) {
    return Codec<T>::encode(object);
}

// Throws the `EncodingError` that writing `value` as JSON would throw (a NaN or infinite
// double anywhere inside it), without writing it.
void requireWritable(const Value& value);

// The `Value` of `object`, made only if it can be written as JSON: throws what its codec
// throws, and `EncodingError` for a NaN or infinite number inside it, so a value that can't be
// sent fails where it is made rather than when it is sent.
template <Codable T>
Value writableValue(const T& object) {
    Value value = Codec<T>::encode(object);
    requireWritable(value);
    return value;
}

// Reads a `T` from `value`. Throws `DecodingError`.
template <Codable T>
T decode(const Value& value, const CodingPath& path = {}) {
    return Codec<T>::decode(value, path);
}

// How a value's JSON type is named in decoding errors: "null", "a string", "an object", ...
std::string_view describeJSONType(const Value& value) noexcept;

// The error for `value` when a `expected` was wanted: valueNotFound for null, typeMismatch
// otherwise.
DecodingError unexpectedValue(const Value& value, const CodingPath& path, std::string_view expected);

template <>
struct Codec<Value> {
    static Value encode(const Value& value) { return value; }
    static Value decode(const Value& value, const CodingPath&) { return value; }
};

template <>
struct Codec<bool> {
    static Value encode(bool value) { return value; }
    static bool decode(const Value& value, const CodingPath& path);
};

// Text fields read JSON strings; a string that was a data URL reads as its own text.
template <>
struct Codec<std::string> {
    static Value encode(const std::string& value) { return value; }
    static std::string decode(const Value& value, const CodingPath& path);
};

// Reads any JSON number that is a whole number in the 64-bit range (7, 7.0 and 7e0 alike).
std::int64_t decodeWholeNumber(const Value& value, const CodingPath& path);

// Integer fields take any JSON number that is a whole number in the target's range.
template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
struct Codec<T> {
    static Value encode(T value) { return Value(value); }
    static T decode(const Value& value, const CodingPath& path) {
        const std::int64_t whole = decodeWholeNumber(value, path);
        if constexpr (!std::same_as<T, std::int64_t>) {
            if (whole < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
                (whole > 0 && static_cast<std::uint64_t>(whole) > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))) {
                throw DecodingError::dataCorrupted(path, "Number " + std::to_string(whole) + " is out of range");
            }
        }
        return static_cast<T>(whole);
    }
};

// Double fields take integers and doubles.
template <>
struct Codec<double> {
    static Value encode(double value) { return value; }
    static double decode(const Value& value, const CodingPath& path);
};

// Opt-in for marker records: field-less records that count by their presence alone. They
// are written as {} and read from any JSON value without looking at it.
template <class T>
inline constexpr bool enableMarkerRecord = false;

template <class T>
    requires enableMarkerRecord<T>
struct Codec<T> {
    static Value encode(const T&) { return ValueObject(); }
    static T decode(const Value&, const CodingPath&) { return T{}; }
};

// A JSON object of any values; anything else is a type mismatch.
template <>
struct Codec<ValueObject> {
    static Value encode(const ValueObject& value) { return value; }
    static ValueObject decode(const Value& value, const CodingPath& path);
};

template <Codable T>
struct Codec<std::vector<T>> {
    static Value encode(const std::vector<T>& elements) {
        Value::Array array;
        array.reserve(elements.size());
        for (const auto& element : elements) array.push_back(Codec<T>::encode(element));
        return array;
    }
    static std::vector<T> decode(const Value& value, const CodingPath& path) {
        const auto* array = value.arrayValue();
        if (array == nullptr) throw unexpectedValue(value, path, "an array");
        std::vector<T> elements;
        elements.reserve(array->size());
        for (std::size_t i = 0; i < array->size(); ++i) elements.push_back(Codec<T>::decode((*array)[i], path.appending(i)));
        return elements;
    }
};

// Reads the members of one JSON object. Holds references to the value and the path, which
// must outlive it.
class ObjectReader {
public:
    // Throws a `DecodingError` when `value` is not an object.
    ObjectReader(const Value& value, const CodingPath& path);

    const ValueObject& object() const noexcept { return object_; }
    const CodingPath& path() const noexcept { return path_; }

    // The member `key` as it stands, null included; nullptr when it is missing.
    const Value* find(std::string_view key) const noexcept { return object_.find(key); }
    // The member `key` when it is present and not null.
    const Value* findNonNull(std::string_view key) const noexcept {
        const Value* member = object_.find(key);
        return member != nullptr && !member->isNull() ? member : nullptr;
    }

    // Reads the required member `key`: missing is keyNotFound, null is what `T`'s codec makes
    // of null (valueNotFound for every type but `Value`).
    template <Codable T>
    T required(std::string_view key) const {
        const Value* member = object_.find(key);
        if (member == nullptr) throw DecodingError::keyNotFound(path_, key);
        return Codec<T>::decode(*member, path_.appending(key));
    }

    // Reads the optional member `key`: missing or null gives absent.
    template <Codable T>
    std::optional<T> optional(std::string_view key) const {
        const Value* member = findNonNull(key);
        if (member == nullptr) return std::nullopt;
        return Codec<T>::decode(*member, path_.appending(key));
    }

private:
    const ValueObject& object_;
    const CodingPath& path_;
};

// Writes the members of one JSON object in the order they are added.
class ObjectBuilder {
public:
    template <Codable T>
    ObjectBuilder& add(std::string_view key, const T& member) {
        object_.insertOrAssign(std::string(key), Codec<T>::encode(member));
        return *this;
    }
    ObjectBuilder& add(std::string_view key, Value&& member) {
        object_.insertOrAssign(std::string(key), std::move(member));
        return *this;
    }
    // Adds `key` only when `member` is present: an absent optional is left out, never null.
    template <Codable T>
    ObjectBuilder& addIfPresent(std::string_view key, const std::optional<T>& member) {
        if (member) add(key, *member);
        return *this;
    }

    // The object built so far; leaves the builder empty.
    Value build() { return Value(std::move(object_)); }

private:
    ValueObject object_;
};

}  // namespace mcp
