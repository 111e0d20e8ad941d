#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace app::ui {

// Spinner: a small busy indicator, an arc going round for as long as it is shown.
class Spinner final : public QWidget {
public:
    explicit Spinner(int side, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {side_, side_}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int side_;
    int angle_ = 0;
    QTimer timer_;
};

}  // namespace app::ui
