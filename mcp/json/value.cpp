#include "mcp/json/value.hpp"

#include "mcp/json/data_url.hpp"
#include "mcp/detail/number_text.hpp"

#include <boost/container_hash/hash.hpp>

#include <algorithm>
#include <ostream>
#include <unordered_map>

namespace mcp {

// ValueObject

ValueObject::ValueObject(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const auto& [key, value] : entries) insertOrAssign(key, value);
}

ValueObject ValueObject::fromEntries(std::vector<Entry> entries) {
    ValueObject object;
    constexpr std::size_t kLinearLimit = 16;
    if (entries.size() <= kLinearLimit) {
        object.entries_.reserve(entries.size());
        for (auto& [key, value] : entries) object.insertOrAssign(std::move(key), std::move(value));
        return object;
    }
    std::unordered_map<std::string_view, std::size_t> positions;
    positions.reserve(entries.size());
    object.entries_.reserve(entries.size());
    // The views point into object.entries_, which is reserved up front and never reallocates.
    for (auto& entry : entries) {
        if (const auto it = positions.find(entry.first); it != positions.end()) {
            object.entries_[it->second].second = std::move(entry.second);
            continue;
        }
        object.entries_.push_back(std::move(entry));
        positions.emplace(object.entries_.back().first, object.entries_.size() - 1);
    }
    return object;
}

const Value* ValueObject::find(std::string_view key) const noexcept {
    for (const auto& entry : entries_) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

Value* ValueObject::find(std::string_view key) noexcept {
    return const_cast<Value*>(static_cast<const ValueObject&>(*this).find(key));
}

Value& ValueObject::operator[](std::string_view key) {
    if (Value* existing = find(key)) return *existing;
    return entries_.emplace_back(std::string(key), Value()).second;
}

void ValueObject::insertOrAssign(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

bool ValueObject::erase(std::string_view key) {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.first == key; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

bool operator==(const ValueObject& lhs, const ValueObject& rhs) {
    if (lhs.size() != rhs.size()) return false;
    // Sorting both sides keeps large objects from comparing in quadratic time.
    auto sortedEntries = [](const ValueObject& object) {
        std::vector<const ValueObject::Entry*> entries;
        entries.reserve(object.size());
        for (const auto& entry : object) entries.push_back(&entry);
        std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
        return entries;
    };
    const auto left = sortedEntries(lhs);
    const auto right = sortedEntries(rhs);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i]->first != right[i]->first || !(left[i]->second == right[i]->second)) return false;
    }
    return true;
}

// Data

std::optional<Value::Data> Value::Data::fromDataURL(std::string text) {
    auto content = parseDataURL(text);
    if (!content) return std::nullopt;
    Data data(std::move(content->data), std::move(content->mimeType));
    data.originalText_ = std::move(text);
    return data;
}

std::string Value::Data::dataURL() const {
    return originalText_.empty() ? dataURLEncoded(bytes_, mimeType_) : originalText_;
}

// Accessors

std::optional<bool> Value::boolValue() const noexcept {
    if (const bool* value = std::get_if<bool>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<std::int64_t> Value::intValue() const noexcept {
    if (const std::int64_t* value = std::get_if<std::int64_t>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<double> Value::doubleValue() const noexcept {
    if (const double* value = std::get_if<double>(&storage_)) return *value;
    return std::nullopt;
}

const Value::Data* Value::dataValue() const noexcept {
    if (const auto* data = std::get_if<std::shared_ptr<const Data>>(&storage_)) return data->get();
    return nullptr;
}

// Description

namespace {

void appendQuotedKey(std::string& out, std::string_view key) {
    out += '"';
    for (const char c : key) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\0': out += "\\0"; break;
            default: out += c;
        }
    }
    out += '"';
}

void appendDescription(std::string& out, const Value& value) {
    switch (value.kind()) {
        case Value::Kind::null: return;
        case Value::Kind::boolean: out += *value.boolValue() ? "true" : "false"; return;
        case Value::Kind::integer: out += std::to_string(*value.intValue()); return;
        case Value::Kind::floatingPoint: detail::appendDoubleText(out, *value.doubleValue()); return;
        case Value::Kind::string: out += *value.stringValue(); return;
        case Value::Kind::data: out += value.dataValue()->dataURL(); return;
        case Value::Kind::array: {
            out += '[';
            bool first = true;
            for (const auto& element : *value.arrayValue()) {
                if (!first) out += ", ";
                first = false;
                appendDescription(out, element);
            }
            out += ']';
            return;
        }
        case Value::Kind::object: {
            const auto& object = *value.objectValue();
            if (object.empty()) {
                out += "[:]";
                return;
            }
            out += '[';
            bool first = true;
            for (const auto& [key, element] : object) {
                if (!first) out += ", ";
                first = false;
                appendQuotedKey(out, key);
                out += ": ";
                appendDescription(out, element);
            }
            out += ']';
            return;
        }
    }
}

}  // namespace

std::string Value::description() const {
    std::string text;
    appendDescription(text, *this);
    return text;
}

std::ostream& operator<<(std::ostream& out, const Value& value) { return out << value.description(); }

// Equality and hashing

bool operator==(const Value& lhs, const Value& rhs) {
    if (lhs.kind() != rhs.kind()) return false;
    switch (lhs.kind()) {
        case Value::Kind::null: return true;
        case Value::Kind::boolean: return lhs.boolValue() == rhs.boolValue();
        case Value::Kind::integer: return lhs.intValue() == rhs.intValue();
        case Value::Kind::floatingPoint: return *lhs.doubleValue() == *rhs.doubleValue();
        case Value::Kind::string: return *lhs.stringValue() == *rhs.stringValue();
        case Value::Kind::data: return *lhs.dataValue() == *rhs.dataValue();
        case Value::Kind::array: return *lhs.arrayValue() == *rhs.arrayValue();
        case Value::Kind::object: return *lhs.objectValue() == *rhs.objectValue();
    }
    return false;
}

std::size_t Value::hash() const noexcept {
    std::size_t seed = storage_.index();
    switch (kind()) {
        case Kind::null: break;
        case Kind::boolean: boost::hash_combine(seed, *boolValue()); break;
        case Kind::integer: boost::hash_combine(seed, *intValue()); break;
        case Kind::floatingPoint: {
            const double number = *doubleValue();
            boost::hash_combine(seed, number == 0.0 ? 0.0 : number);
            break;
        }
        case Kind::string: boost::hash_combine(seed, *stringValue()); break;
        case Kind::data: {
            const Data& data = *dataValue();
            boost::hash_combine(seed, data.mimeType().has_value());
            if (data.mimeType()) boost::hash_combine(seed, *data.mimeType());
            boost::hash_combine(seed, data.bytes());
            break;
        }
        case Kind::array: {
            boost::hash_combine(seed, arrayValue()->size());
            for (const auto& element : *arrayValue()) boost::hash_combine(seed, element.hash());
            break;
        }
        case Kind::object: {
            // A sum of per-entry hashes does not depend on the order of the entries.
            std::size_t entries = 0;
            for (const auto& [key, element] : *objectValue()) {
                std::size_t entry = std::hash<std::string>{}(key);
                boost::hash_combine(entry, element.hash());
                entries += entry;
            }
            boost::hash_combine(seed, entries);
            break;
        }
    }
    return seed;
}

}  // namespace mcp
