#include "app/common/tidy.hpp"

#include "mcp/detail/whitespace.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <cstdint>
#include <memory>

namespace app {

namespace {

// The byte length of the first `limit` grapheme clusters of text; the whole text when it
// has fewer, or when ICU can't segment it.
std::size_t prefixOfGraphemes(std::string_view text, std::size_t limit) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, decltype(&utext_close)> utf8(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status), &utext_close);
    std::unique_ptr<icu::BreakIterator> clusters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return text.size();
    clusters->setText(utf8.get(), status);
    if (U_FAILURE(status)) return text.size();

    // Over UTF-8 text the iterator's boundaries are byte offsets into it.
    std::int32_t boundary = clusters->first();
    for (std::size_t taken = 0; taken < limit; ++taken) {
        const auto next = clusters->next();
        if (next == icu::BreakIterator::DONE) return text.size();
        boundary = next;
    }
    return static_cast<std::size_t>(boundary);
}

std::string joinedWords(std::string_view text) {
    std::string joined;
    joined.reserve(text.size());
    for (const auto word : mcp::detail::splitAtWhitespace(text)) {
        if (!joined.empty()) joined += ' ';
        joined += word;
    }
    return joined;
}

}  // namespace

std::string tidy(std::string_view text, std::size_t limit) {
    auto joined = joinedWords(text);
    if (joined.size() > limit) joined.resize(prefixOfGraphemes(joined, limit));
    return joined;
}

std::string tidyShown(std::string_view text, std::size_t limit) {
    auto joined = joinedWords(text);
    // Fewer bytes than the limit are fewer characters too.
    if (joined.size() <= limit || prefixOfGraphemes(joined, limit) == joined.size()) return joined;
    if (limit == 0) return {};
    joined.resize(prefixOfGraphemes(joined, limit - 1));
    if (!joined.empty() && joined.back() == ' ') joined.pop_back();
    return joined + "\u2026";
}

}  // namespace app
