#include "mcp/json/codec.hpp"

#include "mcp/detail/number_text.hpp"

namespace mcp {

std::string_view describeJSONType(const Value& value) noexcept {
    switch (value.kind()) {
        case Value::Kind::null: return "null";
        case Value::Kind::boolean: return "a boolean";
        case Value::Kind::integer:
        case Value::Kind::floatingPoint: return "a number";
        case Value::Kind::string:
        case Value::Kind::data: return "a string";
        case Value::Kind::array: return "an array";
        case Value::Kind::object: return "an object";
    }
    return "a value";
}

DecodingError unexpectedValue(const Value& value, const CodingPath& path, std::string_view expected) {
    if (value.isNull()) return DecodingError::valueNotFound(path, expected);
    return DecodingError::typeMismatch(path, expected, describeJSONType(value));
}

bool Codec<bool>::decode(const Value& value, const CodingPath& path) {
    if (const auto flag = value.boolValue()) return *flag;
    throw unexpectedValue(value, path, "a boolean");
}

std::string Codec<std::string>::decode(const Value& value, const CodingPath& path) {
    if (const auto* text = value.stringValue()) return *text;
    if (const auto* data = value.dataValue()) return data->dataURL();
    throw unexpectedValue(value, path, "a string");
}

std::int64_t decodeWholeNumber(const Value& value, const CodingPath& path) {
    if (const auto integer = value.intValue()) return *integer;
    if (const auto number = value.doubleValue()) {
        if (const auto whole = detail::wholeInt64(*number)) return *whole;
        throw DecodingError::dataCorrupted(path, "Number " + detail::doubleText(*number) +
                                                     " is not a whole number in the 64-bit range");
    }
    throw unexpectedValue(value, path, "an integer");
}

double Codec<double>::decode(const Value& value, const CodingPath& path) {
    if (const auto number = value.toDouble(Conversion::strict)) return *number;
    throw unexpectedValue(value, path, "a number");
}

ValueObject Codec<ValueObject>::decode(const Value& value, const CodingPath& path) {
    if (const auto* object = value.objectValue()) return *object;
    throw unexpectedValue(value, path, "an object");
}

ObjectReader::ObjectReader(const Value& value, const CodingPath& path)
    : object_([&]() -> const ValueObject& {
          if (const auto* object = value.objectValue()) return *object;
          throw unexpectedValue(value, path, "an object");
      }()),
      path_(path) {}

}  // namespace mcp
