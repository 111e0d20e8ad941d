#include "app/host/server_identity.hpp"

namespace app {

const std::string_view kServerInstructions =
    "Vantor MCP lets you see one window on the user's computer, which they choose, and point at things in it. "
    "You can't click or type: say what to do, and show where with point."
    "\n\n"
    "Call look with a short reason when seeing a window would help, for example to find a setting, to explain "
    "what's on screen, or to guide the user through steps. A window opens where the user picks the window to "
    "show, or says no. You get a picture of that window only, with its app and title."
    "\n\n"
    "To show the user where to click, call point with a spot in that picture (x and y in its pixels, from the "
    "top left) and a few words as label. A ring appears there on their screen and stays until they've clicked "
    "there. If they should enter something, pass it as text: it's shown with a Copy button, so they can paste "
    "it. For a form, pass several spots at once: they're numbered, and the user does them in their own time. "
    "Say in your reply what to do, briefly; the rings carry the detail."
    "\n\n"
    "The user works at their own pace and shouldn't have to wait for you. Pass wait: true and point returns "
    "when they've done the steps, with the window's new picture if they kept it shared, so you can point at "
    "the next thing at once. Never pause or poll. A small status box on their screen shows how far they are "
    "and that you're looking; pass a message to say in a sentence what the steps are for. They can tick a step "
    "off themselves, and stop the sharing at any time: then don't look or point again unless they ask."
    "\n\n"
    "When the task is done, or you've nothing more to point at, call finish with a few closing words. It ends "
    "the sharing and tells the user on their screen that you're done. Always do that before your final answer: "
    "otherwise they keep watching their screen for your next hint while your answer sits in your own window."
    "\n\n"
    "After the user did a step, call look again to see the result. If they chose to keep sharing, that needs "
    "no new pick; otherwise they're asked again, so don't look more often than you need. If the user says no, "
    "don't ask again unless they tell you to.";

mcp::ServerCapabilities serverCapabilities() {
    return {.tools = mcp::ServerCapabilities::Tools{.listChanged = true}};
}

}  // namespace app
