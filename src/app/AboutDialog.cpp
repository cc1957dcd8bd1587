#include "app/AboutDialog.h"

#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

AboutDialog::AboutDialog(const QString &webAddress, QWidget *parent)
    : QDialog(parent)
    , mWebAddress(webAddress) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(ApplicationTitle);

    mPicture = new QLabel(this);
    mPicture->setObjectName(QStringLiteral("imgLogo"));
    mPicture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(64, 64));
    mPicture->setCursor(Qt::PointingHandCursor);
    mPicture->installEventFilter(this);

    auto *title = new QLabel(ApplicationTitle, this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    auto *version = new QLabel(QStringLiteral("版本：2.0"), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(webAddress.toHtmlEscaped()), this);
    link->setObjectName(QStringLiteral("lblWeb"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(link, &QLabel::linkActivated, this, [this] { Shell::instance().openPage(mWebAddress); });

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addWidget(link);
    text->addStretch();

    auto *top = new QHBoxLayout;
    top->addWidget(mPicture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text);

    auto *buttons = new DialogButtonRow(this);
    QPushButton *ok = buttons->add("cmdOk", QStringLiteral("确认(&E)"), DialogButtonRow::Enter::Default);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

bool AboutDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mPicture && event->type() == QEvent::MouseButtonRelease) {
        Shell::instance().openPage(mWebAddress);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
