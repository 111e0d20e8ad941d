#pragma once

#include <string>

namespace platform {

// Clipboard: the desktop's clipboard, the one that Ctrl+V pastes from.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // setText: replaces whatever the clipboard holds with text, as plain UTF-8 text. The
    // clipboard's answer isn't reported: a failure goes unnoticed. Main thread only.
    virtual void setText(const std::string& text) = 0;
};

}  // namespace platform
