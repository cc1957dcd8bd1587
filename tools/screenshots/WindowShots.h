#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Takes and saves the pictures: a window as the user sees it (with a drawn caption bar, since the screenshots are
// taken on a display without window manager), or a part of the screen with other programs' windows.
class WindowShots {
public:
    explicit WindowShots(const QString &outputFolder);

    // A window rendered with its caption bar; a child widget (no caption) as it is.
    bool window(const QString &name, QWidget *widget);
    // A rectangle of the whole screen, other programs included.
    bool screen(const QString &name, const QRect &area);
    bool save(const QString &name, const QImage &image);
    // A top-level window's picture with its caption bar, which lies captionOffset() above and left of its geometry.
    static QImage framed(QWidget *window);
    static QPoint captionOffset();

    // Lets the event loop run for a while (painting, timers, other programs).
    static void pause(int ms);
    // Waits until `ready` is true, at most `timeoutMs`; the result of the last check.
    static bool waitFor(const std::function<bool()> &ready, int timeoutMs);
    // Runs `trigger`, which opens a modal dialog and returns when it has closed; `inside` runs on the shown dialog.
    // The dialog is closed afterwards if `inside` left it open. False when no dialog appeared.
    static bool withModal(const std::function<void()> &trigger, const std::function<void(QWidget *)> &inside,
                          int timeoutMs = 20000);
    // Like withModal, for a dialog that works on its own after it opened (it may pump events while it works, so
    // nothing here may wait inside it): `ready` is asked every half second without blocking, and `inside` runs once
    // it says yes, or at the timeout.
    static bool whenModalReady(const std::function<void()> &trigger, const std::function<bool(QWidget *)> &ready,
                               const std::function<void(QWidget *)> &inside, int timeoutMs);
    // The same for a pop-up menu.
    static bool withPopup(const std::function<void()> &trigger, const std::function<void(QWidget *)> &inside,
                          int timeoutMs = 5000);

    const QStringList &taken() const { return mTaken; }
    const QStringList &missed() const { return mMissed; }
    void miss(const QString &what) { mMissed.append(what); }

private:
    QString mFolder;
    QStringList mTaken;
    QStringList mMissed;
};
