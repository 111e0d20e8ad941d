#include "logging/metadata_value_attributes.hpp"

#include <algorithm>

namespace logging {

void MetadataValueAttributes::_upsert(Key key, std::int64_t value) {
    if (inline_ && inline_->key == key) {
        inline_->value = value;
        return;
    }
    if (overflow_) {
        const auto found = std::ranges::find(*overflow_, key, &Entry::key);
        if (found != overflow_->end()) {
            found->value = value;
            return;
        }
    }
    if (inline_) {
        if (!overflow_) overflow_.emplace();
        overflow_->push_back({key, value});
    } else {
        inline_ = Entry{key, value};
    }
}

void MetadataValueAttributes::_remove(Key key) {
    if (inline_ && inline_->key == key) {
        if (!overflow_) {
            inline_.reset();
            return;
        }
        inline_ = overflow_->back();
        overflow_->pop_back();
    } else if (overflow_) {
        const auto found = std::ranges::find(*overflow_, key, &Entry::key);
        if (found == overflow_->end()) return;
        overflow_->erase(found);
    } else {
        return;
    }
    if (overflow_->empty()) overflow_.reset();
}

void MetadataValueAttributes::_merge(const MetadataValueAttributes& other) {
    if (other.inline_) _upsert(other.inline_->key, other.inline_->value);
    if (other.overflow_) {
        for (const Entry& entry : *other.overflow_) _upsert(entry.key, entry.value);
    }
}

bool MetadataValueAttributes::_contains(const Entry& entry) const {
    return (inline_ && *inline_ == entry) ||
           (overflow_ && std::ranges::find(*overflow_, entry) != overflow_->end());
}

bool MetadataValueAttributes::_isEqual(const MetadataValueAttributes& other) const {
    if (size() != other.size()) return false;
    if (inline_ && !other._contains(*inline_)) return false;
    return !overflow_ || std::ranges::all_of(*overflow_, [&](const Entry& entry) {
        return other._contains(entry);
    });
}

std::size_t MetadataValueAttributes::size() const noexcept {
    return (inline_ ? 1 : 0) + (overflow_ ? overflow_->size() : 0);
}

}  // namespace logging
