#include "screenshots/WindowShots.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int CaptionHeight = 28;

QImage withCaption(const QImage &content, const QString &title) {
    const qreal ratio = content.devicePixelRatio();
    const int width = int(content.width() / ratio);
    const int height = int(content.height() / ratio);
    QImage image(QSize(width + 2, height + CaptionHeight + 1) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, width + 2, height + CaptionHeight + 1), QColor(0x3a, 0x5f, 0x93));
    QLinearGradient bar(0, 0, 0, CaptionHeight);
    bar.setColorAt(0, QColor(0x5b, 0x86, 0xc3));
    bar.setColorAt(1, QColor(0x3a, 0x5f, 0x93));
    painter.fillRect(QRect(0, 0, width + 2, CaptionHeight), bar);
    QFont font = QApplication::font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 0, width - 40, CaptionHeight), Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.drawText(QRect(width - 28, 0, 24, CaptionHeight), Qt::AlignCenter, QStringLiteral("✕"));
    painter.drawImage(QPoint(1, CaptionHeight), content);
    return image;
}

} // namespace

WindowShots::WindowShots(const QString &outputFolder)
    : mFolder(outputFolder) {}

bool WindowShots::window(const QString &name, QWidget *widget) {
    if (!widget || !widget->isVisible()) {
        miss(name + QStringLiteral(" (window not shown)"));
        return false;
    }
    pause(300);
    const QImage content = widget->grab().toImage();
    return save(name, widget->isWindow() ? withCaption(content, widget->windowTitle()) : content);
}

QImage WindowShots::framed(QWidget *window) {
    return withCaption(window->grab().toImage(), window->windowTitle());
}

QPoint WindowShots::captionOffset() {
    return QPoint(1, CaptionHeight);
}

bool WindowShots::screen(const QString &name, const QRect &area) {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        miss(name + QStringLiteral(" (no screen)"));
        return false;
    }
    pause(300);
    return save(name, screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage());
}

bool WindowShots::save(const QString &name, const QImage &image) {
    const QString file = mFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (image.isNull() || !image.save(file, "PNG")) {
        miss(name + QStringLiteral(" (cannot write ") + file + QLatin1Char(')'));
        return false;
    }
    qInfo().noquote() << "shot:" << name << image.width() << "x" << image.height();
    mTaken.append(name);
    return true;
}

void WindowShots::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WindowShots::waitFor(const std::function<bool()> &ready, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs)
            return ready();
        pause(100);
    }
    return true;
}

namespace {

bool whenShown(const std::function<void()> &trigger, const std::function<void(QWidget *)> &inside, int timeoutMs,
               const std::function<QWidget *()> &current) {
    const QPointer<QWidget> before = current();
    bool seen = false;
    QTimer poll;
    poll.setInterval(100);
    QElapsedTimer clock;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *shown = current();
        if (shown && shown != before && shown->isVisible()) {
            poll.stop();
            seen = true;
            QPointer<QWidget> guard = shown;
            WindowShots::pause(500);
            if (guard)
                inside(guard);
            if (guard && guard->isVisible()) {
                if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
                    dialog->reject();
                else
                    guard->close();
            }
        } else if (clock.elapsed() > timeoutMs) {
            poll.stop();
        }
    });
    clock.start();
    poll.start();
    trigger();
    poll.stop();
    return seen;
}

} // namespace

bool WindowShots::withModal(const std::function<void()> &trigger, const std::function<void(QWidget *)> &inside,
                            int timeoutMs) {
    return whenShown(trigger, inside, timeoutMs, [] { return QApplication::activeModalWidget(); });
}

bool WindowShots::whenModalReady(const std::function<void()> &trigger, const std::function<bool(QWidget *)> &ready,
                                 const std::function<void(QWidget *)> &inside, int timeoutMs) {
    const QPointer<QWidget> before = QApplication::activeModalWidget();
    bool seen = false;
    bool done = false;
    QTimer poll;
    poll.setInterval(500);
    QElapsedTimer clock;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *shown = QApplication::activeModalWidget();
        if (done || !shown || shown == before || !shown->isVisible()) {
            if (clock.elapsed() > qint64(2) * timeoutMs)
                poll.stop();
            return;
        }
        seen = true;
        if (!ready(shown) && clock.elapsed() < timeoutMs)
            return;
        done = true;
        poll.stop();
        QPointer<QWidget> guard = shown;
        inside(shown);
        if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
            dialog->reject();
        else if (guard)
            guard->close();
    });
    clock.start();
    poll.start();
    trigger();
    poll.stop();
    return seen;
}

bool WindowShots::withPopup(const std::function<void()> &trigger, const std::function<void(QWidget *)> &inside,
                            int timeoutMs) {
    return whenShown(trigger, inside, timeoutMs, [] { return QApplication::activePopupWidget(); });
}
