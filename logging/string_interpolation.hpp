#pragma once

#include "logging/detail/text_form.hpp"
#include "logging/metadata_value.hpp"
#include "logging/metadata_value_attributes.hpp"

#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace logging {

// MetadataValue::StringInterpolation: builds a metadata value from literal text and the text
// forms of values, the way a log statement writes "took 12 ms" or the text of an error.
// Appended values may bring attributes; a value built with any becomes a stringConvertible
// AttributedStringCarrier, otherwise a plain string.
//
//     MetadataValue value = MetadataValue::StringInterpolation()
//                               .appendLiteral("took ")
//                               .appendInterpolation(milliseconds)
//                               .appendLiteral(" ms");
//
// A value's text form is, in this order of preference: text as it is, "true"/"false", a number
// in its shortest exact form, what the value writes to a std::ostream, its description(), an
// exception's what(), else the name of its type.
class MetadataValue::StringInterpolation {
public:
    // Reserves room for the literal text plus two characters per interpolated value.
    explicit StringInterpolation(std::size_t literalCapacity = 0,
                                 std::size_t interpolationCount = 0);

    StringInterpolation& appendLiteral(std::string_view literal) {
        output_.append(literal);
        return *this;
    }

    // Appends the text form of `value`.
    template <class T>
    StringInterpolation& appendInterpolation(const T& value) {
        detail::appendTextForm(output_, value);
        return *this;
    }

    // Appends the text form of a present `value`; for an absent one, the default text, given
    // as text or as a callable returning it that runs only then.
    template <class T, class D>
        requires std::is_convertible_v<const D&, std::string_view> ||
                 (std::invocable<D&> &&
                  std::is_convertible_v<std::invoke_result_t<D&>, std::string_view>)
    StringInterpolation& appendInterpolation(const std::optional<T>& value, D&& defaultText) {
        if (value) return appendInterpolation(*value);
        if constexpr (std::invocable<D&>) {
            output_.append(std::string_view(std::invoke(defaultText)));
        } else {
            output_.append(std::string_view(defaultText));
        }
        return *this;
    }

    // Appends `value`, then lets `changeAttributes` change the gathered attributes in place.
    template <class T, std::invocable<MetadataValueAttributes&> F>
    StringInterpolation& appendInterpolation(const T& value, F&& changeAttributes) {
        appendInterpolation(value);
        std::invoke(changeAttributes, attributes_);
        hasAttributes_ = true;
        return *this;
    }

    // Appends `value`, then adds `attributes` to the gathered ones (see _mergeAttributes).
    template <class T>
    StringInterpolation& appendInterpolation(const T& value,
                                             const MetadataValueAttributes& attributes) {
        appendInterpolation(value);
        _mergeAttributes(attributes);
        return *this;
    }

    // Merges `attributes` into those gathered so far, its values winning; the first attributes
    // given replace the initial empty set.
    void _mergeAttributes(const MetadataValueAttributes& attributes);

    const std::string& output() const noexcept { return output_; }
    const MetadataValueAttributes& attributes() const noexcept { return attributes_; }
    bool hasAttributes() const noexcept { return hasAttributes_; }

private:
    std::string output_;
    MetadataValueAttributes attributes_;
    bool hasAttributes_ = false;
};

}  // namespace logging
