// vantor_e2e_window: the window the end-to-end test shares and the user works in: 640 × 400
// of one known colour (0x3366CC), a red square at (10, 10), a button "Export" at (200, 150)
// and a text field at (200, 250). Once it has first painted and the X server holds those
// pixels, it prints its window id ("0x…") on a line of its own; then "clicked Export" for every
// press of the button, and "text: <text>" once a change of the field's text is on screen. The
// test acts on those lines, so a picture taken after one of them shows what it says. It ends
// when its standard input closes.

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// AfterPaint: runs `then` once a paint of the widget has gone out, while it is armed. The paint
// is flushed to the window in the same turn of the event loop, and the round trip of sync()
// waits until the X server has drawn it.
class AfterPaint : public QObject {
public:
    AfterPaint(QWidget& widget, std::function<void()> then) : then_(std::move(then)) { widget.installEventFilter(this); }

    void arm() { armed_ = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && armed_) {
            armed_ = false;
            QTimer::singleShot(0, this, [this] {
                QGuiApplication::sync();
                then_();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> then_;
    bool armed_ = false;
};

void paint(QWidget& widget, QColor colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantor-e2e-window"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Vantor E2E Window"));
    window.setFixedSize(640, 400);
    paint(window, QColor(0x33, 0x66, 0xCC));

    QWidget square(&window);
    square.setGeometry(10, 10, 40, 40);
    paint(square, QColor(0xFF, 0x00, 0x00));

    QPushButton button(QStringLiteral("Export"), &window);
    button.setGeometry(200, 150, 120, 40);
    QObject::connect(&button, &QPushButton::clicked, [] { say(QStringLiteral("clicked Export")); });

    QLineEdit field(&window);
    field.setGeometry(200, 250, 240, 32);
    AfterPaint textShown(field, [&field] { say("text: " + field.text()); });
    QObject::connect(&field, &QLineEdit::textChanged, [&field, &textShown] {
        textShown.arm();
        field.update();
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QApplication::quit();
        }
    });

    AfterPaint shown(window, [&window] { say(QStringLiteral("0x%1").arg(window.winId(), 0, 16)); });
    shown.arm();
    window.move(120, 120);
    window.show();
    return QApplication::exec();
}
