#pragma once

#include "logging/string_convertible.hpp"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace logging {

// MetadataAttribute: a small typed tag that can travel with a metadata value without changing
// its text. Its values map to and from a signed 64-bit raw value.
//
//     struct Sensitivity {
//         std::int64_t level;
//         std::int64_t rawValue() const { return level; }
//         static std::optional<Sensitivity> fromRawValue(std::int64_t raw) {
//             return Sensitivity{raw};
//         }
//     };
template <class A>
concept MetadataAttribute = requires(const A& attribute, std::int64_t raw) {
    { attribute.rawValue() } -> std::same_as<std::int64_t>;
    { A::fromRawValue(raw) } -> std::same_as<std::optional<A>>;
};

namespace detail {
// One object per attribute type; its address is the type's key.
template <class A>
inline constexpr char kAttributeTag = 0;
}  // namespace detail

// MetadataValueAttributes: a set of attribute values, at most one per attribute type. Users
// spell it `Logger::MetadataValueAttributes`. The first entry is kept inline and the rest in
// an overflow list in insertion order, so the common case of one attribute needs no list.
class MetadataValueAttributes {
public:
    // The identity of an attribute type.
    using Key = const void*;

    struct Entry {
        Key key;
        std::int64_t value;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    template <MetadataAttribute A>
    static Key keyOf() noexcept {
        return &detail::kAttributeTag<std::remove_cvref_t<A>>;
    }

    MetadataValueAttributes() = default;

    // A set holding each of `attributes`, inserted in order; a later value of the same type
    // replaces an earlier one.
    template <MetadataAttribute... As>
        requires(sizeof...(As) > 0)
    explicit MetadataValueAttributes(const As&... attributes) {
        (_upsert(keyOf<As>(), attributes.rawValue()), ...);
    }

    // The value stored for attribute type A; nullopt when there is none or when its raw value
    // makes no value of A.
    template <MetadataAttribute A>
    std::optional<A> get() const {
        const Key key = keyOf<A>();
        if (inline_ && inline_->key == key) return A::fromRawValue(inline_->value);
        if (overflow_) {
            for (const Entry& entry : *overflow_) {
                if (entry.key == key) return A::fromRawValue(entry.value);
            }
        }
        return std::nullopt;
    }

    // Stores `attribute`, or removes the entry of type A for nullopt.
    template <MetadataAttribute A>
    void set(const std::optional<A>& attribute) {
        if (attribute) {
            _upsert(keyOf<A>(), attribute->rawValue());
        } else {
            _remove(keyOf<A>());
        }
    }

    // Replaces the value stored under `key` where it is, or adds the entry: inline when the
    // set is empty, else at the end of the overflow list.
    void _upsert(Key key, std::int64_t value);
    // Removes the entry under `key`. Removing the inline entry moves the last overflow entry
    // inline; an overflow list left empty goes away.
    void _remove(Key key);
    // Upserts every entry of `other` in its order; values of `other` win.
    void _merge(const MetadataValueAttributes& other);
    bool _contains(const Entry& entry) const;
    // The same entries, in any order.
    bool _isEqual(const MetadataValueAttributes& other) const;

    const std::optional<Entry>& inlineEntry() const noexcept { return inline_; }
    const std::optional<std::vector<Entry>>& overflowEntries() const noexcept { return overflow_; }
    std::size_t size() const noexcept;

    friend bool operator==(const MetadataValueAttributes& left,
                           const MetadataValueAttributes& right) {
        return left._isEqual(right);
    }

private:
    std::optional<Entry> inline_;
    std::optional<std::vector<Entry>> overflow_;
};

// AttributedStringCarrier: the text of a metadata value that carries attributes. Users spell it
// `Logger::AttributedStringCarrier`; a MetadataValue holds it as its stringConvertible case.
struct AttributedStringCarrier final : StringConvertible {
    AttributedStringCarrier(std::string text, MetadataValueAttributes attributes)
        : string(std::move(text)), metadataAttributes(std::move(attributes)) {}

    std::string description() const override { return string; }

    std::string string;
    MetadataValueAttributes metadataAttributes;
};

}  // namespace logging
