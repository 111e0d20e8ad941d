#include "logging/metadata_value.hpp"

#include <stdexcept>

namespace logging {

namespace {

template <class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};
template <class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

// Writes `text` as a double-quoted literal: quotes, backslashes and control characters escaped.
void appendQuoted(std::string& output, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    output.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '"': output.append("\\\""); break;
        case '\\': output.append("\\\\"); break;
        case '\n': output.append("\\n"); break;
        case '\r': output.append("\\r"); break;
        case '\t': output.append("\\t"); break;
        case '\0': output.append("\\0"); break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                const auto byte = static_cast<unsigned char>(c);
                output.append("\\u{");
                if (byte >= 0x10) output.push_back(kHex[byte >> 4]);
                output.push_back(kHex[byte & 0xf]);
                output.push_back('}');
            } else {
                output.push_back(c);
            }
        }
    }
    output.push_back('"');
}

}  // namespace

MetadataValue::MetadataValue(std::shared_ptr<const StringConvertible> value) {
    if (!value) throw std::invalid_argument("a stringConvertible metadata value needs a value");
    value_ = std::move(value);
}

MetadataValue MetadataValue::dictionary(
    std::initializer_list<std::pair<std::string, MetadataValue>> entries) {
    Metadata dictionary;
    for (const auto& [key, value] : entries) {
        if (!dictionary.emplace(key, value).second) {
            throw std::logic_error("Duplicate values for key: '" + key + "'");
        }
    }
    return MetadataValue(std::move(dictionary));
}

MetadataValueAttributes MetadataValue::attributes() const {
    if (const auto* value = std::get_if<std::shared_ptr<const StringConvertible>>(&value_)) {
        if (const auto* carrier = dynamic_cast<const AttributedStringCarrier*>(value->get())) {
            return carrier->metadataAttributes;
        }
    }
    return {};
}

void MetadataValue::setAttributes(MetadataValueAttributes attributes) {
    if (std::holds_alternative<Metadata>(value_) || std::holds_alternative<Array>(value_)) return;
    value_ = std::make_shared<const AttributedStringCarrier>(description(), std::move(attributes));
}

std::string MetadataValue::description() const {
    return std::visit(
        Overloaded{
            [](const std::string& text) { return text; },
            [](const std::shared_ptr<const StringConvertible>& value) {
                return value->description();
            },
            [](const Metadata& dictionary) {
                if (dictionary.empty()) return std::string("[:]");
                std::string text = "[";
                for (const auto& [key, value] : dictionary) {
                    if (text.size() > 1) text.append(", ");
                    appendQuoted(text, key);
                    text.append(": ");
                    appendQuoted(text, value.description());
                }
                text.push_back(']');
                return text;
            },
            [](const Array& array) {
                std::string text = "[";
                for (const MetadataValue& element : array) {
                    if (text.size() > 1) text.append(", ");
                    appendQuoted(text, element.description());
                }
                text.push_back(']');
                return text;
            },
        },
        value_);
}

bool operator==(const MetadataValue& left, const MetadataValue& right) {
    if (left.value_.index() != right.value_.index()) return false;
    if (const auto* value = std::get_if<std::shared_ptr<const StringConvertible>>(&left.value_)) {
        return (*value)->description() ==
               std::get<std::shared_ptr<const StringConvertible>>(right.value_)->description();
    }
    return left.value_ == right.value_;
}

std::ostream& operator<<(std::ostream& out, const MetadataValue& value) {
    return out << value.description();
}

}  // namespace logging
