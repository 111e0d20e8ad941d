#include "mcp/json/json.hpp"

#include <boost/json/basic_parser_impl.hpp>

#include <charconv>
#include <cmath>
#include <vector>

namespace mcp {
namespace {

// Builds a `Value` from the parser's events. Finished values wait on `values_` until their
// container ends; keys of open objects wait on `keys_`.
class ValueBuilder {
public:
    static constexpr std::size_t max_array_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_object_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_string_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_key_size = static_cast<std::size_t>(-1);

    Value takeResult() { return std::move(values_.back()); }
    const std::string& failure() const noexcept { return failure_; }

    bool on_document_begin(boost::system::error_code&) { return true; }
    bool on_document_end(boost::system::error_code&) { return true; }
    bool on_array_begin(boost::system::error_code&) { return true; }
    bool on_object_begin(boost::system::error_code&) { return true; }

    bool on_array_end(std::size_t count, boost::system::error_code&) {
        Value::Array array;
        array.reserve(count);
        const auto first = values_.end() - static_cast<std::ptrdiff_t>(count);
        std::move(first, values_.end(), std::back_inserter(array));
        values_.erase(first, values_.end());
        values_.emplace_back(std::move(array));
        return true;
    }

    bool on_object_end(std::size_t count, boost::system::error_code&) {
        std::vector<ValueObject::Entry> entries;
        entries.reserve(count);
        const auto firstValue = values_.end() - static_cast<std::ptrdiff_t>(count);
        const auto firstKey = keys_.end() - static_cast<std::ptrdiff_t>(count);
        for (std::size_t i = 0; i < count; ++i) entries.emplace_back(std::move(firstKey[i]), std::move(firstValue[i]));
        values_.erase(firstValue, values_.end());
        keys_.erase(firstKey, keys_.end());
        values_.emplace_back(ValueObject::fromEntries(std::move(entries)));
        return true;
    }

    bool on_string_part(std::string_view part, std::size_t, boost::system::error_code&) {
        text_.append(part);
        return true;
    }

    bool on_string(std::string_view last, std::size_t, boost::system::error_code&) {
        std::string text;
        if (text_.empty()) {
            text.assign(last);
        } else {
            text_.append(last);
            text = std::move(text_);
            text_.clear();
        }
        pushString(std::move(text));
        return true;
    }

    bool on_key_part(std::string_view part, std::size_t, boost::system::error_code&) {
        text_.append(part);
        return true;
    }

    bool on_key(std::string_view last, std::size_t, boost::system::error_code&) {
        text_.append(last);
        keys_.push_back(std::move(text_));
        text_.clear();
        return true;
    }

    bool on_number_part(std::string_view part, boost::system::error_code&) {
        number_.append(part);
        return true;
    }

    bool on_int64(std::int64_t value, std::string_view, boost::system::error_code&) {
        number_.clear();
        values_.emplace_back(value);
        return true;
    }

    // Above INT64_MAX a number is no `int`; it reads as the nearest double.
    bool on_uint64(std::uint64_t value, std::string_view, boost::system::error_code&) {
        number_.clear();
        values_.emplace_back(static_cast<double>(value));
        return true;
    }

    bool on_double(double value, std::string_view last, boost::system::error_code& ec) {
        number_.append(last);
        // Boost.JSON 1.81 rounds some decimals to a neighbouring double (999999999999999.9
        // reads as 1e15); from_chars rounds correctly. Out of its range it leaves the value
        // alone, so an underflow keeps the parser's zero and an overflow its infinity.
        double exact = value;
        std::from_chars(number_.data(), number_.data() + number_.size(), exact);
        if (!std::isfinite(exact)) {
            failure_ = "Number " + number_ + " is out of range";
            ec = boost::json::error::exponent_overflow;
            return false;
        }
        number_.clear();
        values_.emplace_back(exact);
        return true;
    }

    bool on_bool(bool value, boost::system::error_code&) {
        values_.emplace_back(value);
        return true;
    }

    bool on_null(boost::system::error_code&) {
        values_.emplace_back(nullptr);
        return true;
    }

    bool on_comment_part(std::string_view, boost::system::error_code&) { return true; }
    bool on_comment(std::string_view, boost::system::error_code&) { return true; }

private:
    void pushString(std::string text) {
        // Only a text that starts like a data URL is examined further, so long plain strings
        // cost nothing here.
        if (text.starts_with("data:")) {
            if (auto data = Value::Data::fromDataURL(text)) {
                values_.emplace_back(std::move(*data));
                return;
            }
        }
        values_.emplace_back(std::move(text));
    }

    std::vector<Value> values_;
    std::vector<std::string> keys_;
    std::string text_;
    std::string number_;
    std::string failure_;
};

// Per thread, so that counting needs no atomic and the peers of a test, on threads of their
// own, don't count into it.
thread_local std::uint64_t readCount = 0;

}  // namespace

Value parseJSON(std::string_view text) {
    ++readCount;
    boost::json::parse_options options;
    options.max_depth = kMaxJSONDepth;
    boost::json::basic_parser<ValueBuilder> parser(options);

    boost::system::error_code ec;
    const std::size_t consumed = parser.write_some(false, text.data(), text.size(), ec);
    if (!ec && consumed < text.size()) ec = boost::json::error::extra_data;
    if (ec) {
        const std::string& failure = parser.handler().failure();
        throw DecodingError::dataCorrupted(
            CodingPath(), "The given data was not valid JSON: " + (failure.empty() ? ec.message() : failure));
    }
    return parser.handler().takeResult();
}

std::uint64_t jsonReadCount() noexcept { return readCount; }

std::optional<Value> tryParseJSON(std::string_view text) {
    try {
        return parseJSON(text);
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace mcp
