#pragma once

// Method and notification descriptors. Every protocol method is a type with a `name`, a
// `Parameters` and a `Result` type; every notification a type with a `name` and `Parameters`:
//
//     struct Ping {
//         static constexpr std::string_view name = "ping";
//         using Parameters = Empty;
//         using Result = Empty;
//     };
//
// The envelopes of "mcp/envelopes.hpp" are generic over these descriptors.

#include "mcp/json/codec.hpp"
#include "mcp/json/value.hpp"

#include <concepts>
#include <string_view>

namespace mcp {

// The field-less parameters or result: written as {}, read from any JSON value.
struct Empty {
    friend bool operator==(const Empty&, const Empty&) = default;
};

template <>
inline constexpr bool enableMarkerRecord<Empty> = true;

// Opt-in for parameter types whose "params" may be left out (or sent as null): such a
// message reads with the type's default value. Being default-constructible is not enough:
// the parameters of a method that needs them must not read from nothing.
template <class T>
inline constexpr bool enableNotRequired = false;

template <>
inline constexpr bool enableNotRequired<Empty> = true;

// The null `Value`.
template <>
inline constexpr bool enableNotRequired<Value> = true;

template <class T>
concept NotRequired = enableNotRequired<T> && std::default_initializable<T>;

// A protocol method: a type-level `name`, and codable `Parameters` and `Result`.
template <class M>
concept Method = requires {
    { M::name } -> std::convertible_to<std::string_view>;
    typename M::Parameters;
    typename M::Result;
} && Codable<typename M::Parameters> && Codable<typename M::Result>;

// A protocol notification: a type-level `name` and codable `Parameters`.
template <class N>
concept Notification = requires {
    { N::name } -> std::convertible_to<std::string_view>;
    typename N::Parameters;
} && Codable<typename N::Parameters>;

// Any method, known only at run time: its name is the one read from the message, its
// parameters and result are plain JSON values.
struct AnyMethod {
    static constexpr std::string_view name = "";
    using Parameters = Value;
    using Result = Value;
};

// Any notification, known only at run time; its parameters are a plain JSON value.
struct AnyNotification {
    static constexpr std::string_view name = "";
    using Parameters = Value;
};

}  // namespace mcp
