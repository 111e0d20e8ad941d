#include "app/ui/short_time.hpp"

#include <QDateTime>
#include <QLocale>

namespace app::ui {

std::string shortLocalTime(std::chrono::system_clock::time_point at) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const QTime time = QDateTime::fromMSecsSinceEpoch(milliseconds).time();
    return QLocale::system().toString(time, QLocale::ShortFormat).toStdString();
}

}  // namespace app::ui
