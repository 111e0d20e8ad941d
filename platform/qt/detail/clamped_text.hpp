#pragma once

#include <QFont>
#include <QString>

namespace platform::detail {

// clampLines: text wrapped at width (at word boundaries, else anywhere) onto at most maxLines
// lines joined by line breaks, the last one cut off with an ellipsis when more would follow.
// Qt's labels have no line limit of their own.
QString clampLines(const QString& text, const QFont& font, int width, int maxLines);

}  // namespace platform::detail
