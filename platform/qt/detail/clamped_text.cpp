#include "platform/qt/detail/clamped_text.hpp"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

namespace platform::detail {

QString clampLines(const QString& text, const QFont& font, int width, int maxLines) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && lines.size() < maxLines;
         line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            const auto rest = text.mid(line.textStart());
            lines.push_back(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines.join('\n');
}

}  // namespace platform::detail
