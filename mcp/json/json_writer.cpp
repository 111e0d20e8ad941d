#include "mcp/json/json.hpp"

#include "mcp/detail/base64.hpp"
#include "mcp/detail/number_text.hpp"
#include "mcp/detail/utf8.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace mcp {
namespace {

EncodingError notWritable(double number) {
    return EncodingError("The number " + detail::doubleText(number) + " has no JSON form");
}

enum class ByteClass : std::uint8_t { plain, escape, nonASCII };

constexpr std::array<ByteClass, 256> makeByteClasses() {
    std::array<ByteClass, 256> classes{};
    for (std::size_t c = 0; c < 256; ++c) {
        if (c < 0x20 || c == '"' || c == '\\') {
            classes[c] = ByteClass::escape;
        } else if (c >= 0x80) {
            classes[c] = ByteClass::nonASCII;
        } else {
            classes[c] = ByteClass::plain;
        }
    }
    return classes;
}

constexpr auto kByteClasses = makeByteClasses();

void appendEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '"': out += "\\\""; return;
        case '\\': out += "\\\\"; return;
        case '\b': out += "\\b"; return;
        case '\f': out += "\\f"; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: {
            constexpr char kHex[] = "0123456789abcdef";
            const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0x0F]};
            out.append(escape, sizeof escape);
        }
    }
}

// Writes the quoted, escaped text. Runs of plain bytes, which make up nearly all of a large
// base64 payload, are copied in one piece.
void appendEscapedText(std::string& out, std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < size) {
        while (i < size && kByteClasses[bytes[i]] == ByteClass::plain) ++i;
        if (i == size) break;
        if (kByteClasses[bytes[i]] == ByteClass::nonASCII) {
            const std::size_t length = detail::utf8SequenceLength(text.substr(i));
            if (length != 0) {
                i += length;
                continue;
            }
            out.append(text.data() + runStart, i - runStart);
            out += "\xEF\xBF\xBD";
            i += detail::utf8MaximalSubpart(text.substr(i));
        } else {
            out.append(text.data() + runStart, i - runStart);
            appendEscape(out, bytes[i]);
            ++i;
        }
        runStart = i;
    }
    out.append(text.data() + runStart, size - runStart);
}

void appendString(std::string& out, std::string_view text) {
    out += '"';
    appendEscapedText(out, text);
    out += '"';
}

// A generous guess of the written size, so that the output grows once, not by doubling
// through a multi-megabyte payload.
std::size_t estimateSize(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::string: return value.stringValue()->size() + 2;
        case Value::Kind::data: {
            const auto& data = *value.dataValue();
            if (!data.originalText().empty()) return data.originalText().size() + 2;
            return (data.bytes().size() + 2) / 3 * 4 + (data.mimeType() ? data.mimeType()->size() : 10) + 16;
        }
        case Value::Kind::array: {
            std::size_t size = 2;
            for (const auto& element : *value.arrayValue()) size += estimateSize(element) + 1;
            return size;
        }
        case Value::Kind::object: {
            std::size_t size = 2;
            for (const auto& [key, element] : *value.objectValue()) size += key.size() + 4 + estimateSize(element);
            return size;
        }
        default: return 24;
    }
}

class JSONWriter {
public:
    // `indentWidth` 0 writes compact text.
    JSONWriter(std::string& out, KeyOrder order, int indentWidth) : out_(out), order_(order), indentWidth_(indentWidth) {}

    void write(const Value& value, int depth) {
        switch (value.kind()) {
            case Value::Kind::null: out_ += "null"; return;
            case Value::Kind::boolean: out_ += *value.boolValue() ? "true" : "false"; return;
            case Value::Kind::integer: {
                char buffer[24];
                const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value.intValue());
                out_.append(buffer, result.ptr);
                return;
            }
            case Value::Kind::floatingPoint: {
                const double number = *value.doubleValue();
                if (!std::isfinite(number)) throw notWritable(number);
                detail::appendDoubleText(out_, number);
                return;
            }
            case Value::Kind::string: appendString(out_, *value.stringValue()); return;
            case Value::Kind::data: writeData(*value.dataValue()); return;
            case Value::Kind::array: writeArray(*value.arrayValue(), depth); return;
            case Value::Kind::object: writeObject(*value.objectValue(), depth); return;
        }
    }

private:
    void writeData(const Value::Data& data) {
        if (!data.originalText().empty()) {
            appendString(out_, data.originalText());
            return;
        }
        // The canonical form needs no escaping apart from the MIME type; base64 goes straight
        // into the output.
        out_ += "\"data:";
        appendEscapedText(out_, data.mimeType() ? std::string_view(*data.mimeType()) : "text/plain");
        out_ += ";base64,";
        detail::appendBase64(out_, data.bytes());
        out_ += '"';
    }

    void writeArray(const Value::Array& array, int depth) {
        if (array.empty()) {
            out_ += "[]";
            return;
        }
        out_ += '[';
        bool first = true;
        for (const auto& element : array) {
            if (!first) out_ += ',';
            first = false;
            newLine(depth + 1);
            write(element, depth + 1);
        }
        newLine(depth);
        out_ += ']';
    }

    void writeObject(const ValueObject& object, int depth) {
        if (object.empty()) {
            out_ += "{}";
            return;
        }
        std::vector<const ValueObject::Entry*> entries;
        entries.reserve(object.size());
        for (const auto& entry : object) entries.push_back(&entry);
        if (order_ == KeyOrder::sorted) {
            // std::string compares through char_traits<char>, which orders bytes as unsigned.
            std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
        }
        out_ += '{';
        bool first = true;
        for (const auto* entry : entries) {
            if (!first) out_ += ',';
            first = false;
            newLine(depth + 1);
            appendString(out_, entry->first);
            out_ += indentWidth_ > 0 ? " : " : ":";
            write(entry->second, depth + 1);
        }
        newLine(depth);
        out_ += '}';
    }

    void newLine(int depth) {
        if (indentWidth_ == 0) return;
        out_ += '\n';
        out_.append(static_cast<std::size_t>(depth * indentWidth_), ' ');
    }

    std::string& out_;
    KeyOrder order_;
    int indentWidth_;
};

}  // namespace

void appendJSON(std::string& out, const Value& value, KeyOrder order) {
    out.reserve(out.size() + estimateSize(value));
    JSONWriter(out, order, 0).write(value, 0);
}

std::string writeJSON(const Value& value, KeyOrder order) {
    std::string out;
    appendJSON(out, value, order);
    return out;
}

std::string writePrettyJSON(const Value& value) {
    std::string out;
    JSONWriter(out, KeyOrder::sorted, 2).write(value, 0);
    return out;
}

void requireWritable(const Value& value) {
    if (const auto number = value.doubleValue(); number && value.kind() == Value::Kind::floatingPoint) {
        if (!std::isfinite(*number)) throw notWritable(*number);
    } else if (const auto* array = value.arrayValue()) {
        for (const auto& element : *array) requireWritable(element);
    } else if (const auto* object = value.objectValue()) {
        for (const auto& [key, member] : *object) requireWritable(member);
    }
}

}  // namespace mcp
