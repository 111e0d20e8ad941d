#pragma once

// The three JSON-RPC 2.0 envelopes, generic over a method or notification descriptor:
//
//     Request<Ping>   {"jsonrpc":"2.0","id":1,"method":"ping","params":{}}
//     Response<Ping>  {"jsonrpc":"2.0","id":1,"result":{}}
//     Message<InitializedNotification>  {"jsonrpc":"2.0","method":"notifications/initialized"}
//
// Members are written in that order. Reading ignores unknown members and fails with these
// texts: "Invalid JSON-RPC version" (at the path of "jsonrpc"), "Missing required params
// field", "Invalid params field" and "Invalid response" (at the envelope's path).

#include "mcp/json/codec.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/method.hpp"

#include <optional>
#include <string>
#include <variant>

namespace mcp {

// A request: its id, the method name as sent (`M::name`, or the name read for `AnyMethod`)
// and the parameters.
template <Method M>
struct Request {
    ID id;
    std::string method;
    typename M::Parameters params;

    friend bool operator==(const Request&, const Request&) = default;
};

// A response: the id of the request it answers, and either a result or an error.
template <Method M>
struct Response {
    // Absent only in an error that answers a message whose id could not be read; such a
    // response is written with "id": null, as JSON-RPC requires. Reading "id": null gives the
    // empty-string id.
    std::optional<ID> id;
    std::variant<typename M::Result, MCPError> outcome;

    bool succeeded() const noexcept { return outcome.index() == 0; }
    // The result of a success, else null.
    const typename M::Result* result() const noexcept { return std::get_if<0>(&outcome); }
    // The error of a failure, else null.
    const MCPError* error() const noexcept { return std::get_if<1>(&outcome); }

    friend bool operator==(const Response&, const Response&) = default;
};

// A notification: the method name and the parameters; it has no id.
template <Notification N>
struct Message {
    std::string method;
    typename N::Parameters params;

    friend bool operator==(const Message&, const Message&) = default;
};

template <Method M>
Request<M> makeRequest(ID id, typename M::Parameters params) {
    return {std::move(id), std::string(M::name), std::move(params)};
}

template <Method M>
    requires std::same_as<typename M::Parameters, Empty>
Request<M> makeRequest(ID id) {
    return {std::move(id), std::string(M::name), Empty{}};
}

template <Method M>
Response<M> makeResponse(ID id, typename M::Result result) {
    return {std::move(id), std::move(result)};
}

template <Method M>
    requires std::same_as<typename M::Result, Empty>
Response<M> makeResponse(ID id) {
    return {std::move(id), Empty{}};
}

// A failure response; `id` absent answers a message whose id could not be read.
template <Method M>
Response<M> makeErrorResponse(std::optional<ID> id, MCPError error) {
    return {std::move(id), std::move(error)};
}

template <Notification N>
Message<N> makeMessage(typename N::Parameters params) {
    return {std::string(N::name), std::move(params)};
}

template <Notification N>
    requires std::same_as<typename N::Parameters, Empty>
Message<N> makeMessage() {
    return {std::string(N::name), Empty{}};
}

// The same request with its parameters as a JSON value. Throws what the parameters' codec
// throws.
template <Method M>
Request<AnyMethod> erasedToAnyMethod(const Request<M>& request) {
    return {request.id, request.method, encode(request.params)};
}

namespace detail {

// Checks the "jsonrpc" member: missing is keyNotFound, anything but "2.0" is
// "Invalid JSON-RPC version".
void checkJSONRPCVersion(const ObjectReader& reader);
DecodingError missingParamsField(const CodingPath& path);
DecodingError invalidParamsField(const CodingPath& path);
DecodingError invalidResponse(const CodingPath& path);

// Reads "params": a `NotRequired` type takes its default for a missing or null member and
// passes its own decoding error on; any other type fails with "Missing required params
// field" or "Invalid params field".
template <class P>
P decodeParams(const ObjectReader& reader) {
    const Value* params = reader.find("params");
    const bool missing = params == nullptr || params->isNull();
    if constexpr (NotRequired<P>) {
        if (missing) return P{};
        return Codec<P>::decode(*params, reader.path().appending("params"));
    } else {
        if (missing) throw missingParamsField(reader.path());
        try {
            return Codec<P>::decode(*params, reader.path().appending("params"));
        } catch (const DecodingError&) {
            throw invalidParamsField(reader.path());
        }
    }
}

}  // namespace detail

template <Method M>
struct Codec<Request<M>> {
    static Value encode(const Request<M>& request) {
        return ObjectBuilder()
            .add("jsonrpc", std::string("2.0"))
            .add("id", request.id)
            .add("method", request.method)
            .add("params", mcp::encode(request.params))
            .build();
    }

    static Request<M> decode(const Value& value, const CodingPath& path) {
        const ObjectReader reader(value, path);
        detail::checkJSONRPCVersion(reader);
        auto id = reader.required<ID>("id");
        auto method = reader.required<std::string>("method");
        return {std::move(id), std::move(method), detail::decodeParams<typename M::Parameters>(reader)};
    }
};

template <Method M>
struct Codec<Response<M>> {
    static Value encode(const Response<M>& response) {
        ObjectBuilder builder;
        builder.add("jsonrpc", std::string("2.0"));
        builder.add("id", response.id ? mcp::encode(*response.id) : Value());
        if (const auto* error = response.error()) {
            builder.add("error", *error);
        } else {
            builder.add("result", mcp::encode(*response.result()));
        }
        return builder.build();
    }

    // A "result" that reads as `M::Result` makes a success, even beside an "error".
    static Response<M> decode(const Value& value, const CodingPath& path) {
        const ObjectReader reader(value, path);
        detail::checkJSONRPCVersion(reader);
        auto id = reader.required<ID>("id");
        std::optional<std::variant<typename M::Result, MCPError>> outcome;
        try {
            outcome.emplace(std::in_place_index<0>, reader.required<typename M::Result>("result"));
        } catch (const DecodingError&) {
        }
        if (!outcome) {
            try {
                outcome.emplace(std::in_place_index<1>, reader.required<MCPError>("error"));
            } catch (const DecodingError&) {
                throw detail::invalidResponse(path);
            }
        }
        return {std::move(id), std::move(*outcome)};
    }
};

template <Notification N>
struct Codec<Message<N>> {
    // "params" is left out for `Empty` parameters and always written otherwise.
    static Value encode(const Message<N>& message) {
        ObjectBuilder builder;
        builder.add("jsonrpc", std::string("2.0"));
        builder.add("method", message.method);
        if constexpr (!std::same_as<typename N::Parameters, Empty>) builder.add("params", mcp::encode(message.params));
        return builder.build();
    }

    static Message<N> decode(const Value& value, const CodingPath& path) {
        const ObjectReader reader(value, path);
        detail::checkJSONRPCVersion(reader);
        auto method = reader.required<std::string>("method");
        return {std::move(method), detail::decodeParams<typename N::Parameters>(reader)};
    }
};

}  // namespace mcp
