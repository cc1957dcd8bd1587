#include "documents/ui/TfrmEditADoc.h"

#include "platform/Clipboard.h"
#include "platform/Messages.h"
#include "documents/ui/OfficeFrontKeeper.h"
#include "documents/ui/OfficeWait.h"
#include "office/WordApp.h"

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
    QPushButton *button3 = addButton("Button3", QStringLiteral("插入新指标"));
    QPushButton *button4 = addButton("Button4", QStringLiteral("插入已有指标"));
    QPushButton *button2 = addButton("Button2", QStringLiteral("保存"));
    QPushButton *button5 = addButton("Button5", QStringLiteral("打印"));
    QPushButton *button1 = addButton("Button1", QStringLiteral("关闭"));
    layout->addStretch();
    connect(button3, &QPushButton::clicked, this, [this] { mEditor.Button3Click(); });
    connect(button4, &QPushButton::clicked, this, [this] { mEditor.Button4Click(); });
    connect(button2, &QPushButton::clicked, this, &TfrmEditADoc::Button2Click);
    connect(button5, &QPushButton::clicked, this, [this] { mEditor.Button5Click(); });
    connect(button1, &QPushButton::clicked, this, &QDialog::reject);

    mTimer1 = new QTimer(this);
    mTimer1->setObjectName(QStringLiteral("Timer1"));
    mTimer1->setSingleShot(true);
    mTimer1->setInterval(600);
    connect(mTimer1, &QTimer::timeout, this, [this] { mEditor.Timer1Timer(); });

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
        mTimer1->start();
}

void TfrmEditADoc::Button2Click()
{
    if (mEditor.Button2Click())
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
    mTimer1->stop();
    mEditor.FormCloseQuery();
    QDialog::done(result);
}
