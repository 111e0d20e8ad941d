#pragma once

// Sampling: the messages of a conversation that a server asks the client's model to continue.
//
//     Sampling::Message::user("What is on the screen?")
//       {"role":"user","content":{"type":"text","text":"What is on the screen?"}}
//
// A message's content is one block, written as the block's object, or a list of blocks,
// written as an array. A block is one object whose "type" names the case; a tool use or tool
// result is flattened into it:
//
//     text         {"type":"text","text":"Hi"}
//     image        {"type":"image","data":"iVBORw0K...","mimeType":"image/png"}
//     audio        {"type":"audio","data":"UklGR...","mimeType":"audio/wav"}
//     tool_use     {"type":"tool_use","id","name","input","_meta"?}
//     tool_result  {"type":"tool_result","toolUseId","content","structuredContent"?,"isError"?,"_meta"?}
//
// The items of a tool result's "content" are the five cases of `ContentItem`, as in a prompt
// message. Members are written in the order shown, optional ones only when
// present; null reads as absent, and members of another case are ignored. Media data is the
// producer's text and is neither checked nor converted.

#include "mcp/catalogue/content_item.hpp"
#include "mcp/catalogue/prompt.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/json/codec_hash.hpp"
#include "mcp/json/value.hpp"
#include "mcp/protocol/metadata.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mcp {

// Sampling tool result items name an unknown "type" with this text.
struct ToolResultContentKind {
    static constexpr std::string_view unknownTypeText = "Unknown tool result content block type";
};

namespace Sampling {

// A call of a named tool that the model asks for.
struct ToolUseContent {
    // Ties the result of the call to it.
    std::string id;
    // The tool's name.
    std::string name;
    // Written also when empty.
    ValueObject input;
    std::optional<Metadata> _meta;

    friend bool operator==(const ToolUseContent&, const ToolUseContent&) = default;
};

// The outcome of one tool use.
struct ToolResultContent {
    // One item of the result's content: text, an image, a sound, an embedded resource or a
    // resource link.
    using ContentBlock = ContentItem<ToolResultContentKind>;

    // The `id` of the tool use this answers.
    std::string toolUseID;
    // Written also when empty.
    std::vector<ContentBlock> content;
    std::optional<ValueObject> structuredContent;
    // False is written; absent is not.
    std::optional<bool> isError;
    std::optional<Metadata> _meta;

    friend bool operator==(const ToolResultContent&, const ToolResultContent&) = default;
};

// One message of the conversation.
struct Message {
    // The same roles as a prompt message's.
    using Role = Prompt::Message::Role;

    // One block or a list of them.
    class Content {
    public:
        // One block of a message; the cases in the order text, image, audio, tool use, tool
        // result.
        struct ContentBlock {
            using Text = TextContent;
            using Image = ImageContent;
            using Audio = AudioContent;

            using Item = std::variant<Text, Image, Audio, ToolUseContent, ToolResultContent>;

            ContentBlock(Text text) : item(std::move(text)) {}
            ContentBlock(Image image) : item(std::move(image)) {}
            ContentBlock(Audio audio) : item(std::move(audio)) {}
            ContentBlock(ToolUseContent toolUse) : item(std::move(toolUse)) {}
            ContentBlock(ToolResultContent toolResult) : item(std::move(toolResult)) {}

            Item item;

            friend bool operator==(const ContentBlock&, const ContentBlock&) = default;
        };

        // One text block from a string: `Sampling::Message::user("Hi")`.
        Content(std::string text) : blocks_(ContentBlock(ContentBlock::Text{std::move(text)})) {}
        Content(const char* text) : Content(std::string(text)) {}
        // One block.
        Content(ContentBlock block) : blocks_(std::move(block)) {}
        // A list of blocks; never equal to a single block, even when it holds just that one.
        static Content multiple(std::vector<ContentBlock> blocks) { return Content(std::move(blocks)); }

        static Content text(std::string text) { return Content(std::move(text)); }
        static Content image(std::string data, std::string mimeType) {
            return ContentBlock(ContentBlock::Image{std::move(data), std::move(mimeType)});
        }
        static Content audio(std::string data, std::string mimeType) {
            return ContentBlock(ContentBlock::Audio{std::move(data), std::move(mimeType)});
        }

        // True for one block; false for a list, also an empty one.
        bool isSingle() const noexcept { return blocks_.index() == 0; }
        // The single block, or null for a list.
        const ContentBlock* single() const noexcept { return std::get_if<ContentBlock>(&blocks_); }
        // The blocks: one for a single block, the list otherwise.
        std::vector<ContentBlock> asArray() const;

        friend bool operator==(const Content&, const Content&) = default;

    private:
        explicit Content(std::vector<ContentBlock> blocks) : blocks_(std::move(blocks)) {}

        std::variant<ContentBlock, std::vector<ContentBlock>> blocks_;
    };

    Role role = Role::user;
    Content content = Content(std::string());
    std::optional<Metadata> _meta;

    static Message user(Content content, std::optional<Metadata> meta = std::nullopt) {
        return {Role::user, std::move(content), std::move(meta)};
    }
    static Message assistant(Content content, std::optional<Metadata> meta = std::nullopt) {
        return {Role::assistant, std::move(content), std::move(meta)};
    }

    friend bool operator==(const Message&, const Message&) = default;
};

}  // namespace Sampling

// {"id", "name", "input", "_meta"?} standing alone, without "type".
template <>
struct Codec<Sampling::ToolUseContent> {
    static Value encode(const Sampling::ToolUseContent& toolUse);
    static Sampling::ToolUseContent decode(const Value& value, const CodingPath& path);
};

// {"toolUseId", "content", "structuredContent"?, "isError"?, "_meta"?} standing alone,
// without "type".
template <>
struct Codec<Sampling::ToolResultContent> {
    static Value encode(const Sampling::ToolResultContent& toolResult);
    static Sampling::ToolResultContent decode(const Value& value, const CodingPath& path);
};

// A "type" that names no case fails with dataCorrupted at "type", "Unknown sampling message
// content block type".
template <>
struct Codec<Sampling::Message::Content::ContentBlock> {
    static Value encode(const Sampling::Message::Content::ContentBlock& block);
    static Sampling::Message::Content::ContentBlock decode(const Value& value, const CodingPath& path);
};

// A single block as its object, a list as an array. Reading first tries an array of blocks
// (one block in it reads as a single block); when that fails for any reason, the value is
// read as one block, and that reading's error is the one thrown.
template <>
struct Codec<Sampling::Message::Content> {
    static Value encode(const Sampling::Message::Content& content);
    static Sampling::Message::Content decode(const Value& value, const CodingPath& path);
};

// {"role", "content", "_meta"?}.
template <>
struct Codec<Sampling::Message> {
    static Value encode(const Sampling::Message& message);
    static Sampling::Message decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::Sampling::Message> : mcp::CodecHash<mcp::Sampling::Message> {};
template <>
struct std::hash<mcp::Sampling::ToolUseContent> : mcp::CodecHash<mcp::Sampling::ToolUseContent> {};
template <>
struct std::hash<mcp::Sampling::ToolResultContent> : mcp::CodecHash<mcp::Sampling::ToolResultContent> {};
