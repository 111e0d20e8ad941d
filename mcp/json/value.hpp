#pragma once

// Value: the library's one type for an arbitrary JSON value.
//
// Eight cases, in this order (also their positions in hashing): null, bool, int (64-bit),
// double, string, data (bytes with an optional MIME type), array and object. `int` and
// `double` are distinct cases: 1 never equals 1.0, and no accessor turns one into the other;
// only the explicit conversions (`toBool`, `toInt`, `toDouble`, `toString`) do.
//
// Bytes travel in JSON as "data:" URLs, and any JSON string that is a well-formed data URL
// reads back as `data`. Such a value keeps the text it was read from and is written back with
// exactly that text, so a string that merely looks like a data URL passes through unchanged.
//
//     Value schema = Value::Object{
//         {"type", "object"},
//         {"properties", Value::Object{{"x", Value::Object{{"type", "number"}}}}},
//         {"required", Value::Array{"x"}},
//     };

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace mcp {

class Value;

// The object case of `Value`: a map from text keys to values with unique keys. Entries keep
// the order in which they were first inserted, so records write their members in field
// order; equality and hashing ignore that order. Lookups are linear, which suits the small
// objects of the protocol.
class ValueObject {
public:
    using Entry = std::pair<std::string, Value>;
    using const_iterator = std::vector<Entry>::const_iterator;

    ValueObject() = default;
    // Builds from entries in order; of two entries with the same key the later one wins.
    ValueObject(std::initializer_list<Entry> entries);
    // Builds from entries in order, as the initializer-list form does, in linear time for
    // objects of any size.
    static ValueObject fromEntries(std::vector<Entry> entries);

    std::size_t size() const noexcept;
    bool empty() const noexcept;
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;

    // The value under `key`, or null when there is none.
    const Value* find(std::string_view key) const noexcept;
    Value* find(std::string_view key) noexcept;
    bool contains(std::string_view key) const noexcept { return find(key) != nullptr; }

    // The value under `key`; inserts a null value at the end when the key is new.
    Value& operator[](std::string_view key);
    // Sets `key` to `value`, keeping the key's position when it exists already.
    void insertOrAssign(std::string key, Value value);
    // Removes `key`; true when it was there.
    bool erase(std::string_view key);
    void reserve(std::size_t count);

    friend bool operator==(const ValueObject& lhs, const ValueObject& rhs);

private:
    std::vector<Entry> entries_;
};

// How `Value::toBool` and its siblings convert: `strict` takes only the matching case (and
// `int` for a double); `lenient` also reads numbers from text, text from numbers and the
// Boolean words.
enum class Conversion { strict, lenient };

class Value {
public:
    // The case of a value, in declaration (and hashing) order.
    enum class Kind { null, boolean, integer, floatingPoint, string, data, array, object };

    using Array = std::vector<Value>;
    using Object = ValueObject;

    // Bytes with an optional MIME type. A value read from a JSON data URL always has a MIME
    // type and remembers the text it was read from; one made in code may have none.
    class Data {
    public:
        explicit Data(std::string bytes, std::optional<std::string> mimeType = std::nullopt)
            : bytes_(std::move(bytes)), mimeType_(std::move(mimeType)) {}

        // Reads a data URL, keeping `text` to be written back verbatim; absent when `text`
        // is no readable data URL (see `parseDataURL`).
        static std::optional<Data> fromDataURL(std::string text);

        const std::string& bytes() const noexcept { return bytes_; }
        const std::optional<std::string>& mimeType() const noexcept { return mimeType_; }
        // The text this value was read from; empty for data made in code.
        const std::string& originalText() const noexcept { return originalText_; }
        // The text written to JSON: the original text, else the canonical base64 data URL.
        std::string dataURL() const;

        // Equal MIME types (both absent, or both present and equal) and equal bytes; the
        // original text does not count.
        friend bool operator==(const Data& lhs, const Data& rhs) noexcept {
            return lhs.mimeType_ == rhs.mimeType_ && lhs.bytes_ == rhs.bytes_;
        }

    private:
        std::string bytes_;
        std::optional<std::string> mimeType_;
        std::string originalText_;
    };

    Value() noexcept = default;
    Value(std::nullptr_t) noexcept {}
    Value(bool value) noexcept : storage_(value) {}
    // Any integer type; throws `std::out_of_range` for an unsigned value above 2^63 - 1.
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    Value(T value) : storage_(toInt64(value)) {}
    Value(double value) noexcept : storage_(value) {}
    Value(float value) noexcept : storage_(static_cast<double>(value)) {}
    Value(char value) : storage_(std::string(1, value)) {}
    Value(std::string value) noexcept : storage_(std::move(value)) {}
    Value(std::string_view value) : storage_(std::string(value)) {}
    Value(const char* value) : storage_(std::string(value)) {}
    Value(Data value) : storage_(std::make_shared<const Data>(std::move(value))) {}
    Value(Array value) noexcept : storage_(std::move(value)) {}
    Value(Object value) noexcept : storage_(std::move(value)) {}
    // Pointers other than C strings would otherwise turn into `bool`.
    template <class T>
        requires(!std::same_as<std::remove_cv_t<T>, char>)
    Value(T*) = delete;

    Kind kind() const noexcept { return static_cast<Kind>(storage_.index()); }
    bool isNull() const noexcept { return kind() == Kind::null; }

    // Case accessors: each answers only for its own case, without any conversion.
    std::optional<bool> boolValue() const noexcept;
    std::optional<std::int64_t> intValue() const noexcept;
    std::optional<double> doubleValue() const noexcept;
    const std::string* stringValue() const noexcept { return std::get_if<std::string>(&storage_); }
    const Data* dataValue() const noexcept;
    const Array* arrayValue() const noexcept { return std::get_if<Array>(&storage_); }
    Array* arrayValue() noexcept { return std::get_if<Array>(&storage_); }
    const Object* objectValue() const noexcept { return std::get_if<Object>(&storage_); }
    Object* objectValue() noexcept { return std::get_if<Object>(&storage_); }

    // Conversions, absent when the value can't be converted:
    // - bool: lenient also takes int 0/1, double 0.0/1.0 and the words "true", "t", "yes",
    //   "y", "on", "1" / "false", "f", "no", "n", "off", "0" (case-sensitive);
    // - int: lenient also takes a whole double in the 64-bit range and decimal text
    //   ([+-]?[0-9]+);
    // - double: both modes take int; lenient also takes floating-point text read whole by
    //   strtod in the "C" locale, not starting with white space;
    // - string: lenient also gives "true"/"false", decimal digits, and the standard text of
    //   a double.
    std::optional<bool> toBool(Conversion conversion) const;
    std::optional<std::int64_t> toInt(Conversion conversion) const;
    std::optional<double> toDouble(Conversion conversion) const;
    std::optional<std::string> toString(Conversion conversion) const;

    // A readable text: "" for null, the text itself for a string, the data URL for data,
    // "[1, a]" for an array and `["key": value]` (or "[:]") for an object.
    std::string description() const;

    // Same case and equal payload; doubles by IEEE equality (NaN is unequal to itself),
    // objects regardless of order. Strings compare by their bytes.
    friend bool operator==(const Value& lhs, const Value& rhs);

    // A hash that agrees with `==`: -0.0 hashes as 0.0, objects independently of order.
    std::size_t hash() const noexcept;

private:
    template <std::integral T>
    static std::int64_t toInt64(T value) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::int64_t)) {
            if (value > static_cast<T>(INT64_MAX)) throw std::out_of_range("Integer does not fit in a JSON int");
        }
        return static_cast<std::int64_t>(value);
    }

    std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, std::shared_ptr<const Data>, Array, Object>
        storage_;
};

// Defined here, where Value is complete: clang compiles a member defined in its class at the
// class's end, and std::vector's members need a complete element type.
inline std::size_t ValueObject::size() const noexcept { return entries_.size(); }
inline bool ValueObject::empty() const noexcept { return entries_.empty(); }
inline ValueObject::const_iterator ValueObject::begin() const noexcept { return entries_.begin(); }
inline ValueObject::const_iterator ValueObject::end() const noexcept { return entries_.end(); }
inline void ValueObject::reserve(std::size_t count) { entries_.reserve(count); }

std::ostream& operator<<(std::ostream& out, const Value& value);

}  // namespace mcp

template <>
struct std::hash<mcp::Value> {
    std::size_t operator()(const mcp::Value& value) const noexcept { return value.hash(); }
};
