#include "app/ui/short_time.hpp"

#include <QDateTime>
#include <QRegularExpression>

namespace app::ui {

QString hoursAndMinutes(const QString& format) {
    // Seconds (s, ss) with their fraction (z, zzz), and the time zone (t), each with the
    // separator or blank before it; text in quotes is left as it is.
    static const QRegularExpression kLeftOut(QStringLiteral(R"((?:'[^']*')|([.:,\s]*(?:s{1,2}(?:[.,]?z{1,3})?|z{1,3}|t+)))"));
    QString result;
    qsizetype from = 0;
    for (auto match = kLeftOut.globalMatch(format); match.hasNext();) {
        const auto found = match.next();
        if (found.capturedStart(1) < 0) continue;
        result += format.mid(from, found.capturedStart(1) - from);
        from = found.capturedEnd(1);
    }
    result += format.mid(from);
    return result.trimmed();
}

std::string shortLocalTime(std::chrono::system_clock::time_point at) {
    return shortTimeIn(at, QLocale());
}

std::string shortTimeIn(std::chrono::system_clock::time_point at, const QLocale& locale) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const QTime time = QDateTime::fromMSecsSinceEpoch(milliseconds).time();
    return locale.toString(time, hoursAndMinutes(locale.timeFormat(QLocale::ShortFormat))).toStdString();
}

}  // namespace app::ui
