#pragma once

// ContentItem: the content of a prompt message and the items of a sampling tool result, one
// object whose "type" names the case:
//
//     text           {"type":"text","text":"Hi"}
//     image          {"type":"image","data":"iVBORw0K...","mimeType":"image/png"}
//     audio          {"type":"audio","data":"UklGR...","mimeType":"audio/wav"}
//     resource       {"type":"resource","resource":{...},"annotations"?,"_meta"?}
//     resource_link  {"type":"resource_link","uri","name","title"?,"description"?,"mimeType"?,"annotations"?}
//
// Text, image and audio carry neither annotations nor "_meta"; members of another case are
// ignored on reading. Media data is the producer's text and is neither checked nor converted.
// The two uses differ only in the error for a "type" that names no case, which `Kind`
// supplies as `unknownTypeText`.

#include "mcp/catalogue/resource.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/protocol/metadata.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mcp {

struct TextContent {
    std::string text;
    friend bool operator==(const TextContent&, const TextContent&) = default;
};

// An image or a sound: its bytes in text form (normally base64) and its media type.
struct MediaContent {
    std::string data;
    std::string mimeType;
    friend bool operator==(const MediaContent&, const MediaContent&) = default;
};

struct ImageContent : MediaContent {};
struct AudioContent : MediaContent {};

// A resource's contents embedded in the content.
struct EmbeddedResourceContent {
    Resource::Content resource;
    std::optional<Resource::Annotations> annotations;
    std::optional<Metadata> _meta;
    friend bool operator==(const EmbeddedResourceContent&, const EmbeddedResourceContent&) = default;
};

// A link to a resource the client may read itself.
struct ResourceLinkContent {
    std::string uri;
    std::string name;
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<std::string> mimeType;
    std::optional<Resource::Annotations> annotations;
    friend bool operator==(const ResourceLinkContent&, const ResourceLinkContent&) = default;
};

// The cases, in the order text, image, audio, resource, resource link.
using ContentItemCase = std::variant<TextContent, ImageContent, AudioContent, EmbeddedResourceContent, ResourceLinkContent>;

template <class Kind>
struct ContentItem {
    using Text = TextContent;
    using Image = ImageContent;
    using Audio = AudioContent;
    using EmbeddedResource = EmbeddedResourceContent;
    using ResourceLink = ResourceLinkContent;
    using Item = ContentItemCase;

    // Text content from a string.
    ContentItem(std::string text) : item(Text{std::move(text)}) {}
    ContentItem(const char* text) : item(Text{text}) {}
    ContentItem(Text text) : item(std::move(text)) {}
    ContentItem(Image image) : item(std::move(image)) {}
    ContentItem(Audio audio) : item(std::move(audio)) {}
    ContentItem(EmbeddedResource resource) : item(std::move(resource)) {}
    ContentItem(ResourceLink link) : item(std::move(link)) {}

    // The case `Case` of this item, or null when it is another one.
    template <class Case>
    const Case* as() const noexcept {
        return std::get_if<Case>(&item);
    }

    Item item;

    friend bool operator==(const ContentItem&, const ContentItem&) = default;
};

namespace detail {

Value encodeText(const TextContent& text);
// {"type", "data", "mimeType"} with `type` "image" or "audio".
Value encodeMedia(std::string_view type, const MediaContent& media);
MediaContent decodeMedia(const ObjectReader& reader);
Value encodeEmbeddedResource(const EmbeddedResourceContent& resource);
EmbeddedResourceContent decodeEmbeddedResource(const ObjectReader& reader);
Value encodeResourceLink(const ResourceLinkContent& link);
ResourceLinkContent decodeResourceLink(const ObjectReader& reader);
Value encodeContentItem(const ContentItemCase& item);
// Reads the case that "type" names; another "type" fails with dataCorrupted at "type",
// `unknownTypeText`.
ContentItemCase decodeContentItem(const Value& value, const CodingPath& path, std::string_view unknownTypeText);

}  // namespace detail

template <class Kind>
struct Codec<ContentItem<Kind>> {
    static Value encode(const ContentItem<Kind>& content) { return detail::encodeContentItem(content.item); }
    static ContentItem<Kind> decode(const Value& value, const CodingPath& path) {
        return std::visit([](auto&& item) { return ContentItem<Kind>(std::move(item)); },
                          detail::decodeContentItem(value, path, Kind::unknownTypeText));
    }
};

}  // namespace mcp
