#include "app/ui/short_time.hpp"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>

namespace app::ui {
namespace {

TEST(HoursAndMinutes, LeavesOutSecondsFractionsAndTheTimeZone) {
    constexpr struct {
        const char* format;
        const char* want;
    } kCases[] = {
        {"HH:mm:ss", "HH:mm"},
        {"h:mm:ss AP", "h:mm AP"},
        {"h:mm:ss AP t", "h:mm AP"},
        {"HH.mm.ss", "HH.mm"},
        {"HH:mm:ss.zzz", "HH:mm"},
        {"HH:mm", "HH:mm"},
        {"h:mm AP", "h:mm AP"},
        {"ap h:mm:ss", "ap h:mm"},
        {"HH 'h' mm 'ss'", "HH 'h' mm 'ss'"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(hoursAndMinutes(QString::fromLatin1(c.format)).toStdString(), c.want) << c.format;
    }
}

// The C locale (LANG=C.UTF-8) writes its short time with seconds: the share's end mustn't.
TEST(ShortTimeIn, ShowsHoursAndMinutesInEveryLocale) {
    const QTime time(15, 51, 0);
    const QDateTime local(QDate(2026, 12, 10), time);
    const std::chrono::system_clock::time_point at(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::milliseconds(local.toMSecsSinceEpoch())));
    EXPECT_EQ(shortTimeIn(at, QLocale::c()), "15:51");
    EXPECT_EQ(shortTimeIn(at, QLocale(QLocale::German, QLocale::Germany)), "15:51");
    const auto american = shortTimeIn(at, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(american == "3:51 PM" || american == "3:51\u202fPM") << american;
}

}  // namespace
}  // namespace app::ui
