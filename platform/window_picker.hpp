#pragma once

#include "platform/window_system.hpp"

#include <memory>
#include <string>
#include <vector>

namespace platform {

// PickedWindow: a window the user chose, described as it was at that moment.
struct PickedWindow {
    WindowID id = 0;
    // pid: the process that owns the window; 0 when the window system can't tell.
    int pid = 0;
    // appName: the name its application gives itself (the window's class); "" when none.
    std::string appName;
    // processName: the name of the running process pid; "" when unknown.
    std::string processName;
    // title: "" when the window has none.
    std::string title;

    friend bool operator==(const PickedWindow&, const PickedWindow&) = default;
};

// PickedContent: what the user chose in the picker.
struct PickedContent {
    // includedWindows: the chosen windows, the one to capture first; empty when the choice
    // wasn't a window.
    std::vector<PickedWindow> includedWindows;
    // contentRect: where the content lay, in window-list coordinates; empty (zero width or
    // height) when the picker couldn't tell.
    Rect contentRect;
    // pointPixelScale: device pixels per point of the screen that showed it.
    double pointPixelScale = 1;

    friend bool operator==(const PickedContent&, const PickedContent&) = default;
};

// PickerConfiguration: what the picker offers.
struct PickerConfiguration {
    // singleWindow: only single windows can be chosen (not whole screens or applications).
    bool singleWindow = true;
    // excludedPIDs: processes whose windows are never offered (the program's own).
    std::vector<int> excludedPIDs;
    // maximumStreams: how many captures may run at once from the picker's choices.
    int maximumStreams = 1;

    friend bool operator==(const PickerConfiguration&, const PickerConfiguration&) = default;
};

// PickerObserver: told what the user did in the picker. Called on a thread of the picker's
// choosing; an implementation hops to its own thread before touching its state, and throws
// nothing.
class PickerObserver {
public:
    virtual ~PickerObserver() = default;
    // pickerCancelled: the user closed the picker without choosing.
    virtual void pickerCancelled() = 0;
    // pickerChose: the user chose content.
    virtual void pickerChose(PickedContent content) = 0;
    // pickerFailed: the picker couldn't be shown or couldn't list what there is to choose.
    virtual void pickerFailed(std::string reason) = 0;
};

// WindowPicker: the window-system's own "choose what to share" picker: the user chooses one
// window of another program, and the picker tells its observers. It takes no part in the
// capture itself. Main thread only.
class WindowPicker {
public:
    virtual ~WindowPicker() = default;

    // addObserver: observer is told of every outcome from now on, for as long as it lives;
    // the picker keeps it weakly.
    virtual void addObserver(std::weak_ptr<PickerObserver> observer) = 0;
    // configure: applies to the next present().
    virtual void configure(const PickerConfiguration& configuration) = 0;
    // setActive: an inactive picker can't be presented; making it inactive also closes it
    // when it is shown, without telling the observers.
    virtual void setActive(bool active) = 0;
    // present: shows the picker, or brings it to the front when it is shown already. Every
    // present of an active picker ends in one outcome for the observers (chose, cancelled or
    // failed) unless the picker is made inactive first; presenting an inactive picker fails.
    virtual void present() = 0;
};

}  // namespace platform
