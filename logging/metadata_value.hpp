#pragma once

#include "logging/detail/text_form.hpp"
#include "logging/metadata_value_attributes.hpp"
#include "logging/string_convertible.hpp"

#include <initializer_list>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace logging {

class MetadataValue;

// Metadata: structured data attached to a logger, a handler or one event, by key. Users spell
// it `Logger::Metadata`. Keys iterate in byte order.
using Metadata = std::map<std::string, MetadataValue, std::less<>>;

// MetadataValue: one metadata value, users spell it `Logger::MetadataValue`. It holds one of
// four cases, in this order: a string; a StringConvertible rendered through its description
// when a handler shows it; a nested Metadata dictionary; an array of values. A string value can
// carry attributes (see attributes()), which change nothing in its text.
//
// What a value holds is never changed in place, only replaced, so copies can be read from
// several threads at once.
class MetadataValue {
public:
    using Array = std::vector<MetadataValue>;
    using Variant =
        std::variant<std::string, std::shared_ptr<const StringConvertible>, Metadata, Array>;

    // Builds a string value from interpolated pieces (logging/string_interpolation.hpp).
    class StringInterpolation;

    MetadataValue(std::string text) : value_(std::move(text)) {}
    MetadataValue(std::string_view text) : value_(std::string(text)) {}
    MetadataValue(const char* text) : value_(std::string(text)) {}
    // Throws std::invalid_argument for a null pointer.
    MetadataValue(std::shared_ptr<const StringConvertible> value);
    MetadataValue(Metadata dictionary) : value_(std::move(dictionary)) {}
    MetadataValue(Array array) : value_(std::move(array)) {}
    // The interpolated text: a string value, or with attributes a stringConvertible
    // AttributedStringCarrier holding the text and the attributes.
    MetadataValue(const StringInterpolation& interpolation);

    // A dictionary value from a list of entries. A repeated key is a programming error: throws
    // std::logic_error "Duplicate values for key: '<key>'".
    static MetadataValue dictionary(
        std::initializer_list<std::pair<std::string, MetadataValue>> entries);

    // A stringConvertible value that keeps `value` and renders it through its text form
    // (a stream operator, a description(), an exception's what()) each time it is shown.
    template <class T>
    static MetadataValue stringConvertible(T value);

    // A stringConvertible AttributedStringCarrier with the text form of `value`, taken now, and
    // `attributes`.
    template <class T>
    static MetadataValue attributed(const T& value, MetadataValueAttributes attributes) {
        return MetadataValue(std::shared_ptr<const StringConvertible>(
            std::make_shared<const AttributedStringCarrier>(detail::textForm(value),
                                                            std::move(attributes))));
    }

    const Variant& variant() const noexcept { return value_; }

    // The attributes the value carries; empty unless it holds an AttributedStringCarrier.
    MetadataValueAttributes attributes() const;
    // Gives a string or stringConvertible value these attributes: it becomes a carrier of its
    // text (a carrier keeps its text and takes the new attributes). Dictionaries and arrays
    // carry no attributes; for them this does nothing.
    void setAttributes(MetadataValueAttributes attributes);

    // The text form. A string is itself; a stringConvertible its description; a dictionary
    // `["key": "value", ...]` with every value in its own text form written as a quoted string
    // with backslash escapes (`[:]` when empty); an array `["a", "b"]` (`[]` when empty).
    std::string description() const;

    // Values of different cases are never equal, even with the same text; stringConvertible
    // values are equal when their descriptions are.
    friend bool operator==(const MetadataValue& left, const MetadataValue& right);

private:
    Variant value_;
};

std::ostream& operator<<(std::ostream& out, const MetadataValue& value);

namespace detail {

template <class T>
class DescribedValue final : public StringConvertible {
public:
    explicit DescribedValue(T value) : value_(std::move(value)) {}
    std::string description() const override { return textForm(value_); }

private:
    T value_;
};

}  // namespace detail

template <class T>
MetadataValue MetadataValue::stringConvertible(T value) {
    return MetadataValue(std::shared_ptr<const StringConvertible>(
        std::make_shared<const detail::DescribedValue<T>>(std::move(value))));
}

}  // namespace logging
