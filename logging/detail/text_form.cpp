#include "logging/detail/text_form.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace logging::detail {

std::string qualifiedTypeName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    const std::string_view scoped = status == 0 && demangled ? demangled.get() : type.name();
    std::string name;
    name.reserve(scoped.size());
    for (std::size_t i = 0; i < scoped.size(); ++i) {
        if (scoped.compare(i, 2, "::") == 0) {
            name.push_back('.');
            ++i;
        } else {
            name.push_back(scoped[i]);
        }
    }
    return name;
}

StringAppendBuffer::int_type StringAppendBuffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        output_.push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
}

std::streamsize StringAppendBuffer::xsputn(const char* data, std::streamsize count) {
    output_.append(data, static_cast<std::size_t>(count));
    return count;
}

}  // namespace logging::detail
