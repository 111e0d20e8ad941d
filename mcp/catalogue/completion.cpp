#include "mcp/catalogue/completion.hpp"

namespace mcp {

namespace {

constexpr std::string_view kPromptType = "ref/prompt";
constexpr std::string_view kResourceType = "ref/resource";

}  // namespace

Value Codec<ResourceReference>::encode(const ResourceReference& reference) {
    return ObjectBuilder().add("type", std::string(kResourceType)).add("uri", reference.uri).build();
}

ResourceReference Codec<ResourceReference>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    if (reader.required<std::string>("type") != kResourceType) {
        throw DecodingError::dataCorrupted(path.appending("type"), "Expected ref/resource type");
    }
    return {.uri = reader.required<std::string>("uri")};
}

Value Codec<CompletionReference>::encode(const CompletionReference& reference) {
    return std::visit([](const auto& held) { return mcp::encode(held); }, reference.item);
}

CompletionReference Codec<CompletionReference>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    const auto type = reader.required<std::string>("type");
    if (type == kPromptType) return Codec<Prompt::Reference>::decode(value, path);
    if (type == kResourceType) return Codec<ResourceReference>::decode(value, path);
    throw DecodingError::dataCorrupted(path.appending("type"), "Unknown reference type: " + type);
}

Value Codec<Complete::Parameters::Argument>::encode(const Complete::Parameters::Argument& argument) {
    return ObjectBuilder().add("name", argument.name).add("value", argument.value).build();
}

Complete::Parameters::Argument Codec<Complete::Parameters::Argument>::decode(const Value& value,
                                                                             const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.name = reader.required<std::string>("name"), .value = reader.required<std::string>("value")};
}

Value Codec<Complete::Parameters::Context>::encode(const Complete::Parameters::Context& context) {
    return ObjectBuilder().add("arguments", context.arguments).build();
}

Complete::Parameters::Context Codec<Complete::Parameters::Context>::decode(const Value& value,
                                                                           const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {.arguments = reader.required<ArgumentValues>("arguments")};
}

Value Codec<Complete::Parameters>::encode(const Complete::Parameters& parameters) {
    return ObjectBuilder()
        .add("ref", parameters.ref)
        .add("argument", parameters.argument)
        .addIfPresent("context", parameters.context)
        .build();
}

Complete::Parameters Codec<Complete::Parameters>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .ref = reader.required<CompletionReference>("ref"),
        .argument = reader.required<Complete::Parameters::Argument>("argument"),
        .context = reader.optional<Complete::Parameters::Context>("context"),
    };
}

Value Codec<Complete::Result::Completion>::encode(const Complete::Result::Completion& completion) {
    return ObjectBuilder()
        .add("values", completion.values)
        .addIfPresent("total", completion.total)
        .addIfPresent("hasMore", completion.hasMore)
        .build();
}

Complete::Result::Completion Codec<Complete::Result::Completion>::decode(const Value& value,
                                                                         const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .values = reader.required<std::vector<std::string>>("values"),
        .total = reader.optional<std::int64_t>("total"),
        .hasMore = reader.optional<bool>("hasMore"),
    };
}

Value Codec<Complete::Result>::encode(const Complete::Result& result) {
    return ObjectBuilder().add("completion", result.completion).addIfPresent("_meta", result._meta).build();
}

Complete::Result Codec<Complete::Result>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .completion = reader.required<Complete::Result::Completion>("completion"),
        ._meta = reader.optional<Metadata>("_meta"),
    };
}

}  // namespace mcp
