#pragma once

#include <exception>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

namespace test_support {

// Outcome: where a task started by a test leaves what it came to: done once it ended, then
// its value (an empty one for a void task) or its error.
template <class T>
struct Outcome {
    bool done = false;
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr error;

    // errorText: the message of the error; "" when there is none.
    std::string errorText() const {
        if (!error) return {};
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            return e.what();
        } catch (...) {
            return "unknown error";
        }
    }
};

}  // namespace test_support
