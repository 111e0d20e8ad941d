#pragma once

// Tool::Content: one item of a tool's result, told apart on the wire by its "type":
//
//     text           {"type":"text","text":"Done."}
//     image          {"type":"image","data":"iVBORw0K...","mimeType":"image/png"}
//     audio          {"type":"audio","data":"UklGR...","mimeType":"audio/wav"}
//     resource       {"type":"resource","resource":{"uri":"file:///a.txt","text":"A"}}
//     resource_link  {"type":"resource_link","uri":"file:///a.txt","name":"a.txt"}
//
// Every case may carry `Resource::Annotations` under "annotations"; all but the resource link
// carry "_meta" (a link neither reads nor writes it). Members are written in field order, an
// absent optional member is left out, and null reads as absent. Image and audio data is the
// producer's text (normally base64) and is neither checked nor converted.

#include "mcp/catalogue/content_item.hpp"
#include "mcp/catalogue/resource.hpp"
#include "mcp/catalogue/tool.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/protocol/metadata.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

namespace mcp {

struct Tool::Content {
    struct Text {
        std::string text;
        std::optional<Resource::Annotations> annotations;
        std::optional<Metadata> _meta;

        friend bool operator==(const Text&, const Text&) = default;
    };

    struct Image {
        std::string data;
        std::string mimeType;
        std::optional<Resource::Annotations> annotations;
        std::optional<Metadata> _meta;

        friend bool operator==(const Image&, const Image&) = default;
    };

    struct Audio {
        std::string data;
        std::string mimeType;
        std::optional<Resource::Annotations> annotations;
        std::optional<Metadata> _meta;

        friend bool operator==(const Audio&, const Audio&) = default;
    };

    // A resource's contents embedded in the result.
    using EmbeddedResource = EmbeddedResourceContent;
    // A link to a resource the client may read itself.
    using ResourceLink = ResourceLinkContent;

    // The case, in the order text, image, audio, resource, resource link.
    using Item = std::variant<Text, Image, Audio, EmbeddedResource, ResourceLink>;

    Content(Text text) : item(std::move(text)) {}
    Content(Image image) : item(std::move(image)) {}
    Content(Audio audio) : item(std::move(audio)) {}
    Content(EmbeddedResource resource) : item(std::move(resource)) {}
    Content(ResourceLink link) : item(std::move(link)) {}

    // A text item without annotations.
    static Content text(std::string text, std::optional<Metadata> metadata = std::nullopt) {
        return Text{std::move(text), std::nullopt, std::move(metadata)};
    }
    // An image item without annotations; `data` is the image's bytes in text form.
    static Content image(std::string data, std::string mimeType, std::optional<Metadata> metadata = std::nullopt) {
        return Image{std::move(data), std::move(mimeType), std::nullopt, std::move(metadata)};
    }
    // An audio item without annotations; `data` is the sound's bytes in text form.
    static Content audio(std::string data, std::string mimeType, std::optional<Metadata> metadata = std::nullopt) {
        return Audio{std::move(data), std::move(mimeType), std::nullopt, std::move(metadata)};
    }

    // The case `Case` of this item, or null when it is another one.
    template <class Case>
    const Case* as() const noexcept {
        return std::get_if<Case>(&item);
    }

    Item item;

    friend bool operator==(const Content&, const Content&) = default;
};

// Reading compares "type" exactly with the five names; any other value fails with
// dataCorrupted at "type", "Unknown tool content type".
template <>
struct Codec<Tool::Content> {
    static Value encode(const Tool::Content& content);
    static Tool::Content decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

