#include "documents/ui/OfficeToolWindow.h"

#include "documents/DocumentSession.h"
#include "documents/ui/OfficeFrontKeeper.h"
#include "documents/ui/OfficeWait.h"
#include "office/WordApp.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

OfficeToolWindow::OfficeToolWindow(std::unique_ptr<WordApp> word, Qt::WindowFlags flags, QWidget *parent)
    : QDialog(parent, flags)
    , mWord(std::move(word)) {
    setModal(true);
    mLayout = new QVBoxLayout(this);

    mPlacementTimer = new QTimer(this);
    mPlacementTimer->setObjectName(QStringLiteral("placementTimer"));
    mPlacementTimer->setSingleShot(true);
    mPlacementTimer->setInterval(600);
    connect(mPlacementTimer, &QTimer::timeout, this, [this] { placementTimeout(); });

    new OfficeFrontKeeper(this, [this] { session().bringOfficeBack(); });
}

OfficeToolWindow::~OfficeToolWindow() = default;

QPushButton *OfficeToolWindow::addButton(const char *name, const QString &caption) {
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    mLayout->addWidget(button);
    return button;
}

void OfficeToolWindow::moveToTopLeft() {
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
}

void OfficeToolWindow::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (mPrepared)
        return;
    mPrepared = true;
    // Prepared once the window is on screen, so its messages appear above it.
    QMetaObject::invokeMethod(this, &OfficeToolWindow::prepareOnceShown, Qt::QueuedConnection);
}

void OfficeToolWindow::prepareOnceShown() {
    if (!waitWhileOfficeStarts(*mWord, this, mStartHint))
        return;
    if (prepareDocument())
        mPlacementTimer->start();
}

void OfficeToolWindow::reject() {
    if (!session().canClose())
        return;
    QDialog::reject();
}

void OfficeToolWindow::done(int result) {
    // Every way out (关闭, Esc, the close box, a successful save) ends the office without saving.
    mPlacementTimer->stop();
    session().close();
    QDialog::done(result);
}
