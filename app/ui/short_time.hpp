#pragma once

#include <chrono>
#include <string>

namespace app::ui {

// shortLocalTime: the time of day of a moment, without a date, in the user's locale's short time
// format and the local time zone ("14:03", or "2:03 PM").
std::string shortLocalTime(std::chrono::system_clock::time_point at);

}  // namespace app::ui
