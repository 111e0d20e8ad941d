#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace app {

// tidy: cleans a text that came from a client (a client name, a tool argument): its words,
// the runs of characters without Unicode white space (line breaks count as white space),
// joined by one blank and cut to their first `limit` user-perceived characters (grapheme
// clusters, so an accented letter or a flag is never split). A text of white space only
// becomes empty. Bytes that are not UTF-8 count as ordinary characters. Any thread.
std::string tidy(std::string_view text, std::size_t limit);

// tidyShown: tidy for a text the user sees (a client's name, a label, a reason): when the words
// had to be cut, they end in "…" within the limit (the blank before it dropped), so that a cut
// text never passes for the whole one. A text that fits is tidy's. Any thread.
std::string tidyShown(std::string_view text, std::size_t limit);

}  // namespace app
