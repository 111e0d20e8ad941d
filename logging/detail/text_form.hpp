#pragma once

#include <charconv>
#include <concepts>
#include <exception>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

namespace logging::detail {

// The full name of a type with its namespaces and enclosing classes joined by points, as log
// lines show it: "mcp.MCPError", "std.runtime_error".
std::string qualifiedTypeName(const std::type_info& type);

template <class T>
concept StreamWritable = requires(std::ostream& out, const T& value) { out << value; };

template <class T>
concept Describable = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string_view>;
};

// A stream buffer that appends whatever is written to it to a string, so a value that writes
// itself to a stream lands directly in the text being built.
class StringAppendBuffer final : public std::streambuf {
public:
    explicit StringAppendBuffer(std::string& output) : output_(output) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;

private:
    std::string& output_;
};

template <class T>
void appendStreamed(std::string& output, const T& value) {
    StringAppendBuffer buffer(output);
    std::ostream stream(&buffer);
    stream << value;
}

template <class T>
void appendNumber(std::string& output, T value) {
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    output.append(digits, result.ptr);
}

// Appends the text form of any value: text as it is, "true"/"false", numbers in their shortest
// exact form, then a value that writes itself to a stream, a value with a `description()`, an
// exception's `what()`, and for anything else the name of its type.
template <class T>
void appendTextForm(std::string& output, const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        output.append(std::string_view(value));
    } else if constexpr (std::same_as<T, bool>) {
        output.append(value ? "true" : "false");
    } else if constexpr (std::same_as<T, char>) {
        output.push_back(value);
    } else if constexpr (std::is_arithmetic_v<T>) {
        appendNumber(output, value);
    } else if constexpr (StreamWritable<T>) {
        appendStreamed(output, value);
    } else if constexpr (Describable<T>) {
        output.append(std::string_view(value.description()));
    } else if constexpr (std::derived_from<T, std::exception>) {
        output.append(value.what());
    } else {
        output.append(qualifiedTypeName(typeid(value)));
    }
}

template <class T>
std::string textForm(const T& value) {
    std::string output;
    appendTextForm(output, value);
    return output;
}

}  // namespace logging::detail
