#include "mcp/json/coding.hpp"

#include <vector>

namespace mcp {

std::string CodingPath::text() const {
    std::vector<const CodingPath*> steps;
    for (const CodingPath* step = this; step->parent_ != nullptr; step = step->parent_) steps.push_back(step);

    std::string text;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        const CodingPath& step = **it;
        if (step.isIndex_) {
            text += '[';
            text += std::to_string(step.index_);
            text += ']';
        } else {
            if (!text.empty()) text += '.';
            text += step.key_;
        }
    }
    return text;
}

DecodingError::DecodingError(Kind kind, const CodingPath& path, std::string description)
    : std::runtime_error(std::move(description)), kind_(kind), path_(path.text()) {}

std::string DecodingError::debugDescription() const {
    static constexpr const char* kKindNames[] = {"typeMismatch", "valueNotFound", "keyNotFound", "dataCorrupted"};
    std::string text = kKindNames[static_cast<int>(kind_)];
    if (!path_.empty()) {
        text += " at ";
        text += path_;
    }
    text += ": ";
    text += what();
    return text;
}

DecodingError DecodingError::typeMismatch(const CodingPath& path, std::string_view expected, std::string_view found) {
    return {Kind::typeMismatch, path, "Expected " + std::string(expected) + " but found " + std::string(found)};
}

DecodingError DecodingError::valueNotFound(const CodingPath& path, std::string_view expected) {
    return {Kind::valueNotFound, path, "Expected " + std::string(expected) + " but found null"};
}

DecodingError DecodingError::keyNotFound(const CodingPath& path, std::string_view key) {
    return {Kind::keyNotFound, path, "No value associated with key \"" + std::string(key) + "\""};
}

DecodingError DecodingError::dataCorrupted(const CodingPath& path, std::string description) {
    return {Kind::dataCorrupted, path, std::move(description)};
}

}  // namespace mcp
