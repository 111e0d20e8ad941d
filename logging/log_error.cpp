#include "logging/log_error.hpp"

#include <cxxabi.h>

#include <stdexcept>

namespace logging {

LogError::LogError(std::exception_ptr error) : exception_(std::move(error)) {
    if (!exception_) throw std::invalid_argument("a logged error needs an exception");
    try {
        std::rethrow_exception(exception_);
    } catch (const std::exception& thrown) {
        description_ = detail::textForm(thrown);
        typeName_ = detail::qualifiedTypeName(typeid(thrown));
    } catch (...) {
        // Not a std::exception: the runtime still knows the thrown type, which is all there is
        // to show.
        const std::type_info* type = abi::__cxa_current_exception_type();
        typeName_ = type ? detail::qualifiedTypeName(*type) : "unknown";
        description_ = typeName_;
    }
}

LogError::LogError(std::string description, std::string typeName)
    : description_(std::move(description)), typeName_(std::move(typeName)) {}

}  // namespace logging
