#pragma once

#include <QLabel>
#include <QString>

namespace platform::detail {

// ClampedLabel: a label of plain text that wraps onto at most maxLines lines at whatever width
// its layout gives it, the last one cut off with an ellipsis when more would follow. It asks
// its layout for exactly the height of the lines it shows (height for width), so that it is
// never drawn over its neighbours or cut off.
class ClampedLabel final : public QLabel {
public:
    ClampedLabel(const QFont& font, int maxLines, QWidget* parent = nullptr);

    // setFullText: the whole text; the label shows as much of it as fits.
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QString shownAt(int width) const;

    int maxLines_;
    QString full_;
};

}  // namespace platform::detail
