#pragma once

#include <QColor>
#include <QWidget>

namespace platform::detail {

// Glyph: the program's mark (the artwork at kGlyphPath) drawn in one colour, fitted into a
// square of the given side, with padding above and below it.
class Glyph final : public QWidget {
public:
    Glyph(int side, const QColor& colour, int verticalPadding = 0);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int side_;
    QColor colour_;
    int padding_;
};

}  // namespace platform::detail
