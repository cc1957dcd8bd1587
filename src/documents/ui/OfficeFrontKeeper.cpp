#include "documents/ui/OfficeFrontKeeper.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QWidget>

OfficeFrontKeeper::OfficeFrontKeeper(QWidget *toolWindow, std::function<void()> bringOfficeToFront)
    : QObject(toolWindow)
    , mToolWindow(toolWindow)
    , mBringOfficeToFront(std::move(bringOfficeToFront)) {
    mDelay = new QTimer(this);
    mDelay->setSingleShot(true);
    // After the window manager has finished raising the window that was clicked.
    mDelay->setInterval(150);
    connect(mDelay, &QTimer::timeout, this, [this] {
        if (mToolWindow && mToolWindow->isVisible() && mBringOfficeToFront)
            mBringOfficeToFront();
    });
    qApp->installEventFilter(this);
}

OfficeFrontKeeper::~OfficeFrontKeeper() {
    qApp->removeEventFilter(this);
}

bool OfficeFrontKeeper::belongsToToolWindow(const QWidget *window) const {
    // Message boxes and dialogs opened over the tool window are its own; they are not to be covered.
    for (const QWidget *w = window; w; w = w->parentWidget()) {
        if (w == mToolWindow)
            return true;
    }
    return false;
}

bool OfficeFrontKeeper::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::WindowActivate || !mToolWindow || !mToolWindow->isVisible())
        return false;
    auto *window = qobject_cast<QWidget *>(watched);
    if (!window || !window->isWindow())
        return false;
    if (window == mToolWindow) {
        // Clicked on itself the tool window keeps the focus its buttons need.
        if (!mToolWindow->frameGeometry().contains(QCursor::pos()))
            mDelay->start();
    } else if (!belongsToToolWindow(window) && window->windowType() != Qt::Dialog && !window->isModal()) {
        // A message box or dialog (whoever its parent) is what the user is to answer now: it stays in front.
        mDelay->start();
    }
    return false;
}
