#include "mcp/catalogue/sampling.hpp"

namespace mcp {

namespace {

using Role = Sampling::Message::Role;
using MessageBlock = Sampling::Message::Content::ContentBlock;

// The members of a tool use or tool result, after "type" when `type` is given.
ObjectBuilder toolUseMembers(const Sampling::ToolUseContent& toolUse, std::optional<std::string_view> type) {
    ObjectBuilder builder;
    if (type) builder.add("type", std::string(*type));
    builder.add("id", toolUse.id).add("name", toolUse.name).add("input", toolUse.input).addIfPresent("_meta", toolUse._meta);
    return builder;
}

ObjectBuilder toolResultMembers(const Sampling::ToolResultContent& toolResult, std::optional<std::string_view> type) {
    ObjectBuilder builder;
    if (type) builder.add("type", std::string(*type));
    builder.add("toolUseId", toolResult.toolUseID)
        .add("content", toolResult.content)
        .addIfPresent("structuredContent", toolResult.structuredContent)
        .addIfPresent("isError", toolResult.isError)
        .addIfPresent("_meta", toolResult._meta);
    return builder;
}

Sampling::ToolUseContent decodeToolUse(const ObjectReader& reader) {
    Sampling::ToolUseContent toolUse;
    toolUse.id = reader.required<std::string>("id");
    toolUse.name = reader.required<std::string>("name");
    toolUse.input = reader.required<ValueObject>("input");
    toolUse._meta = reader.optional<Metadata>("_meta");
    return toolUse;
}

Sampling::ToolResultContent decodeToolResult(const ObjectReader& reader) {
    Sampling::ToolResultContent toolResult;
    toolResult.toolUseID = reader.required<std::string>("toolUseId");
    toolResult.content = reader.required<std::vector<Sampling::ToolResultContent::ContentBlock>>("content");
    toolResult.structuredContent = reader.optional<ValueObject>("structuredContent");
    toolResult.isError = reader.optional<bool>("isError");
    toolResult._meta = reader.optional<Metadata>("_meta");
    return toolResult;
}

Value encodeMessageItem(const TextContent& text) { return detail::encodeText(text); }
Value encodeMessageItem(const ImageContent& image) { return detail::encodeMedia("image", image); }
Value encodeMessageItem(const AudioContent& audio) { return detail::encodeMedia("audio", audio); }
Value encodeMessageItem(const Sampling::ToolUseContent& toolUse) { return toolUseMembers(toolUse, "tool_use").build(); }
Value encodeMessageItem(const Sampling::ToolResultContent& toolResult) {
    return toolResultMembers(toolResult, "tool_result").build();
}

}  // namespace

Value Codec<Sampling::ToolUseContent>::encode(const Sampling::ToolUseContent& toolUse) {
    return toolUseMembers(toolUse, std::nullopt).build();
}

Sampling::ToolUseContent Codec<Sampling::ToolUseContent>::decode(const Value& value, const CodingPath& path) {
    return decodeToolUse(ObjectReader(value, path));
}

Value Codec<Sampling::ToolResultContent>::encode(const Sampling::ToolResultContent& toolResult) {
    return toolResultMembers(toolResult, std::nullopt).build();
}

Sampling::ToolResultContent Codec<Sampling::ToolResultContent>::decode(const Value& value, const CodingPath& path) {
    return decodeToolResult(ObjectReader(value, path));
}

Value Codec<MessageBlock>::encode(const MessageBlock& block) {
    return std::visit([](const auto& item) { return encodeMessageItem(item); }, block.item);
}

MessageBlock Codec<MessageBlock>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    const auto type = reader.required<std::string>("type");
    if (type == "text") return TextContent{reader.required<std::string>("text")};
    if (type == "image") return ImageContent{detail::decodeMedia(reader)};
    if (type == "audio") return AudioContent{detail::decodeMedia(reader)};
    if (type == "tool_use") return decodeToolUse(reader);
    if (type == "tool_result") return decodeToolResult(reader);
    throw DecodingError::dataCorrupted(path.appending("type"), "Unknown sampling message content block type");
}

std::vector<MessageBlock> Sampling::Message::Content::asArray() const {
    if (const auto* block = single()) return {*block};
    return std::get<std::vector<MessageBlock>>(blocks_);
}

Value Codec<Sampling::Message::Content>::encode(const Sampling::Message::Content& content) {
    if (const auto* block = content.single()) return mcp::encode(*block);
    return mcp::encode(content.asArray());
}

Sampling::Message::Content Codec<Sampling::Message::Content>::decode(const Value& value, const CodingPath& path) {
    std::optional<std::vector<MessageBlock>> blocks;
    try {
        blocks = Codec<std::vector<MessageBlock>>::decode(value, path);
    } catch (const DecodingError&) {
        // Not a list of blocks: the value may still be one block, and if it is not, the
        // error of reading it as one is the more useful.
    }
    if (!blocks) return Codec<MessageBlock>::decode(value, path);
    if (blocks->size() == 1) return std::move(blocks->front());
    return Sampling::Message::Content::multiple(std::move(*blocks));
}

Value Codec<Sampling::Message>::encode(const Sampling::Message& message) {
    return ObjectBuilder()
        .add("role", message.role)
        .add("content", message.content)
        .addIfPresent("_meta", message._meta)
        .build();
}

Sampling::Message Codec<Sampling::Message>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    auto role = reader.required<Role>("role");
    auto content = reader.required<Sampling::Message::Content>("content");
    return {role, std::move(content), reader.optional<Metadata>("_meta")};
}

}  // namespace mcp
