#pragma once

#include <string>

namespace logging {

// StringConvertible: a value shown through its text description, which a handler asks for when
// it renders the value, not when the metadata is built. Metadata values are shared between
// logger copies and threads, so description() must be safe to call from several threads at once.
class StringConvertible {
public:
    virtual ~StringConvertible() = default;

    // The value's text, as log lines show it.
    virtual std::string description() const = 0;

protected:
    StringConvertible() = default;
    StringConvertible(const StringConvertible&) = default;
    StringConvertible& operator=(const StringConvertible&) = default;
};

}  // namespace logging
