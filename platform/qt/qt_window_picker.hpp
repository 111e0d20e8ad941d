#pragma once

#include "platform/window_picker.hpp"
#include "platform/window_catalogue.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

namespace detail {
class WindowPickerDialog;
}

// QtWindowPicker: the window picker of a desktop that has none of its own (X11): the
// "Choose a window to share" dialog (detail::WindowPickerDialog) with the windows the catalogue
// offers, minus those of the configured processes and of this program. Only single windows can
// be chosen. The dialog floats above other windows and takes the focus when presented.
//
// Observers are told on the main thread: the choice with the window's bounds and its screen's
// scale, or a cancel (Cancel, Escape, the close button). present() fails when the picker is
// inactive or the window list can't be read. Main thread only; needs a QApplication. Keeps a
// reference to the catalogue, which must outlive it.
class QtWindowPicker final : public WindowPicker {
public:
    explicit QtWindowPicker(WindowCatalogue& catalogue);
    ~QtWindowPicker() override;
    QtWindowPicker(const QtWindowPicker&) = delete;
    QtWindowPicker& operator=(const QtWindowPicker&) = delete;

    void addObserver(std::weak_ptr<PickerObserver> observer) override;
    void configure(const PickerConfiguration& configuration) override;
    void setActive(bool active) override;
    void present() override;

private:
    void finished(std::uint64_t generation, std::optional<std::size_t> row);
    void close();
    std::vector<std::shared_ptr<PickerObserver>> liveObservers() const;
    void tellFailed(const std::string& reason) const;

    WindowCatalogue& catalogue_;
    std::vector<std::weak_ptr<PickerObserver>> observers_;
    PickerConfiguration configuration_;
    bool active_ = false;
    std::unique_ptr<detail::WindowPickerDialog> dialog_;
    // generation_: which dialog is the current one; an answer of an earlier one is ignored.
    std::uint64_t generation_ = 0;
    std::vector<WindowCatalogue::Entry> entries_;
};

}  // namespace platform
