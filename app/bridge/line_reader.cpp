#include "app/bridge/line_reader.hpp"

#include "mcp/json/json.hpp"

#include <string_view>
#include <utility>

namespace app {

namespace {

// The longest member name and id value the scan keeps; longer ones are no usable id.
constexpr std::size_t kMaxKeyBytes = 64;
constexpr std::size_t kMaxIDBytes = 1024;

bool isJSONSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// IDScanner: follows the members of the JSON object that a text starts, byte by byte, keeping
// only the text of the member "id" at its top level. It checks no more of the JSON than it
// needs to find its way; what it can't follow ends the scan.
class IDScanner {
public:
    void feed(char c) {
        switch (phase_) {
            case Phase::start:
                if (isJSONSpace(c)) return;
                phase_ = c == '{' ? Phase::beforeKey : Phase::done;
                return;
            case Phase::beforeKey:
                if (isJSONSpace(c) || c == ',') return;
                if (c == '"') {
                    key_.clear();
                    escaped_ = false;
                    phase_ = Phase::inKey;
                    return;
                }
                phase_ = Phase::done;
                return;
            case Phase::inKey:
                if (!escaped_ && c == '"') {
                    phase_ = Phase::beforeColon;
                    return;
                }
                escaped_ = !escaped_ && c == '\\';
                if (key_.size() <= kMaxKeyBytes) key_ += c;
                return;
            case Phase::beforeColon:
                if (isJSONSpace(c)) return;
                phase_ = c == ':' ? Phase::beforeValue : Phase::done;
                return;
            case Phase::beforeValue:
                if (isJSONSpace(c)) return;
                value_.clear();
                capturing_ = isIDKey();
                nesting_ = 0;
                inString_ = escaped_ = false;
                phase_ = Phase::inValue;
                inValue(c);
                return;
            case Phase::inValue:
                inValue(c);
                return;
            case Phase::done:
                return;
        }
    }

    const std::optional<mcp::Value>& id() const { return id_; }

private:
    enum class Phase { start, beforeKey, inKey, beforeColon, beforeValue, inValue, done };

    bool isIDKey() const {
        if (key_ == "id") return true;
        // A name written with escapes ("\u0069d") is the same name.
        if (key_.find('\\') == std::string::npos || key_.size() > kMaxKeyBytes) return false;
        try {
            return mcp::parseJSON("\"" + key_ + "\"") == mcp::Value("id");
        } catch (const mcp::DecodingError&) {
            return false;
        }
    }

    void inValue(char c) {
        if (!inString_ && nesting_ == 0 && (c == ',' || c == '}')) {
            if (capturing_) keepID();
            phase_ = c == ',' ? Phase::beforeKey : Phase::done;
            return;
        }
        if (capturing_) {
            if (value_.size() < kMaxIDBytes) {
                value_ += c;
            } else {
                capturing_ = false;
            }
        }
        if (inString_) {
            if (escaped_) {
                escaped_ = false;
            } else if (c == '\\') {
                escaped_ = true;
            } else if (c == '"') {
                inString_ = false;
            }
            return;
        }
        if (c == '"') inString_ = true;
        if (c == '{' || c == '[') ++nesting_;
        if (c == '}' || c == ']') --nesting_;
    }

    void keepID() {
        try {
            id_ = mcp::parseJSON(value_);
        } catch (const mcp::DecodingError&) {
        }
    }

    Phase phase_ = Phase::start;
    std::string key_;
    std::string value_;
    bool capturing_ = false;
    bool inString_ = false;
    bool escaped_ = false;
    int nesting_ = 0;
    std::optional<mcp::Value> id_;
};

}  // namespace

LineReader::LineReader(std::istream& input, std::size_t limit) : input_(*input.rdbuf()), limit_(limit) {}

std::optional<InputLine> LineReader::next() {
    using Traits = std::streambuf::traits_type;
    InputLine line;
    IDScanner scanner;
    bool any = false;
    for (int c = input_.sbumpc(); c != Traits::eof(); c = input_.sbumpc()) {
        any = true;
        const char byte = Traits::to_char_type(c);
        if (byte == '\n') break;
        ++line.size;
        if (line.tooLarge) {
            scanner.feed(byte);
            continue;
        }
        line.text += byte;
        if (line.text.size() > limit_) {
            line.tooLarge = true;
            for (const char kept : line.text) scanner.feed(kept);
            std::string().swap(line.text);
        }
    }
    if (!any) return std::nullopt;
    if (line.tooLarge) {
        line.id = scanner.id();
    } else if (!line.text.empty() && line.text.back() == '\r') {
        line.text.pop_back();
        --line.size;
    }
    return line;
}

}  // namespace app
