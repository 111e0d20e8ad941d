#pragma once

#include <QLocale>
#include <QString>

#include <chrono>
#include <string>

namespace app::ui {

// shortTimeIn: the time of day of a moment, without a date, in hours and minutes after the
// locale's short time format and in the local time zone ("14:03", or "2:03 PM"). Some locales'
// short format carries seconds (the C locale's reads "14:03:00"); they are left out.
std::string shortTimeIn(std::chrono::system_clock::time_point at, const QLocale& locale);

// shortLocalTime: shortTimeIn the user's locale (Qt's default locale).
std::string shortLocalTime(std::chrono::system_clock::time_point at);

// hoursAndMinutes: a Qt time format without its seconds, fractions and time zone, along with
// the separator before each ("HH:mm:ss" gives "HH:mm", "h:mm:ss AP t" gives "h:mm AP").
QString hoursAndMinutes(const QString& format);

}  // namespace app::ui
