#include "TfrmEditADoc.h"

#include "Clipboard.h"
#include "Messages.h"
#include "OfficeFrontKeeper.h"
#include "OfficeWait.h"
#include "WordApp.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TfrmEditADoc::TfrmEditADoc(const QString &categoryCode, const QString &templatePath, std::unique_ptr<WordApp> word,
                           QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
    , mWord(std::move(word))
    , mEditor(*mWord, Messages::instance(), Clipboard::instance(), categoryCode, templatePath)
{
    setObjectName(QStringLiteral("TfrmEditADoc"));
    setWindowTitle(QStringLiteral("编辑Word"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    const auto addButton = [this, layout](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        layout->addWidget(button);
        return button;
    };
    QPushButton *insertNewIndicatorButton = addButton("insertNewIndicatorButton", QStringLiteral("插入新指标"));
    QPushButton *insertExistingIndicatorButton =
        addButton("insertExistingIndicatorButton", QStringLiteral("插入已有指标"));
    QPushButton *saveButton = addButton("saveButton", QStringLiteral("保存"));
    QPushButton *printButton = addButton("printButton", QStringLiteral("打印"));
    QPushButton *closeButton = addButton("closeButton", QStringLiteral("关闭"));
    layout->addStretch();
    connect(insertNewIndicatorButton, &QPushButton::clicked, this, [this] { mEditor.insertNewIndicator(); });
    connect(insertExistingIndicatorButton, &QPushButton::clicked, this, [this] { mEditor.insertExistingIndicator(); });
    connect(saveButton, &QPushButton::clicked, this, &TfrmEditADoc::save);
    connect(printButton, &QPushButton::clicked, this, [this] { mEditor.print(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    mPlacementTimer = new QTimer(this);
    mPlacementTimer->setObjectName(QStringLiteral("placementTimer"));
    mPlacementTimer->setSingleShot(true);
    mPlacementTimer->setInterval(600);
    connect(mPlacementTimer, &QTimer::timeout, this, [this] { mEditor.raiseOffice(); });

    new OfficeFrontKeeper(this, [this] { mEditor.OtherWindowActivated(); });

    setFixedSize(110, sizeHint().height());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
}

TfrmEditADoc::~TfrmEditADoc()
{
    mEditor.FormCloseQuery();
}

void TfrmEditADoc::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (mPrepared)
        return;
    mPrepared = true;
    // Prepared once the window is on screen, so its messages appear above it.
    QMetaObject::invokeMethod(this, &TfrmEditADoc::FormActivate, Qt::QueuedConnection);
}

void TfrmEditADoc::FormActivate()
{
    if (!waitWhileOfficeStarts(*mWord, this, nullptr))
        return;
    if (mEditor.ReadyData())
        mPlacementTimer->start();
}

void TfrmEditADoc::save()
{
    if (mEditor.save())
        accept();
}

void TfrmEditADoc::reject()
{
    if (!mEditor.CanClose())
        return;
    QDialog::reject();
}

void TfrmEditADoc::done(int result)
{
    // Every way out (关闭, Esc, the close box, a successful save) ends the office without saving.
    mPlacementTimer->stop();
    mEditor.FormCloseQuery();
    QDialog::done(result);
}
