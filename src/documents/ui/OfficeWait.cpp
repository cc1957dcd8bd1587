#include "documents/ui/OfficeWait.h"

#include "office/WordApp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QThread>

bool waitWhileOfficeStarts(WordApp &word, QWidget *window, QLabel *hint) {
    if (!word.isStarting())
        return true;
    const QPointer<QWidget> alive(window);
    const QPointer<QLabel> label(hint);
    const QString text = hint ? hint->text() : QString();
    const bool shown = hint && hint->isVisible();
    if (hint) {
        hint->setText(QStringLiteral("正在启动办公软件，请稍候......"));
        hint->show();
    }
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    // connect() gives up on an office that does not come up in time; this only keeps the window responsive.
    const QDeadlineTimer deadline(180'000);
    while (alive && alive->isVisible() && !deadline.hasExpired() && word.isStarting()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    QGuiApplication::restoreOverrideCursor();
    if (label) {
        label->setText(text);
        label->setVisible(shown);
    }
    return alive && alive->isVisible();
}
