#include "documents/ui/TfrmEditAHTDoc.h"

#include "platform/Messages.h"
#include "documents/ui/OfficeFrontKeeper.h"
#include "documents/ui/OfficeWait.h"
#include "office/WordApp.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TfrmEditAHTDoc::TfrmEditAHTDoc(const QString &categoryCode, const QString &documentPath, int recordId,
                               std::unique_ptr<WordApp> word, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , mWord(std::move(word))
    , mDocument(*mWord, Messages::instance(), categoryCode, documentPath, recordId)
{
    setObjectName(QStringLiteral("TfrmEditAHTDoc"));
    setWindowTitle(QStringLiteral("合同编辑"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    const auto addButton = [this, layout](const char *name, const QString &caption) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        layout->addWidget(button);
        return button;
    };
    QPushButton *button3 = addButton("Button3", QStringLiteral("重新生成"));
    QPushButton *button2 = addButton("Button2", QStringLiteral("保存"));
    QPushButton *button5 = addButton("Button5", QStringLiteral("打印"));
    QPushButton *button6 = addButton("Button6", QStringLiteral("电子邮件"));
    QPushButton *pdfButton = addButton("exportPdfButton", QStringLiteral("导出PDF"));
    QPushButton *button1 = addButton("Button1", QStringLiteral("关闭"));
    mHint = new QLabel(QStringLiteral("正在生成合同......"), this);
    mHint->setObjectName(QStringLiteral("lblHint"));
    mHint->setStyleSheet(QStringLiteral("color: red;"));
    mHint->setWordWrap(true);
    // The strip is narrower than the hint: it takes two lines.
    mHint->setMinimumHeight(mHint->fontMetrics().lineSpacing() * 2 + 2);
    mHint->hide();
    layout->addWidget(mHint);
    layout->addStretch();

    connect(button3, &QPushButton::clicked, this, [this] { mDocument.Button3Click(); });
    connect(button2, &QPushButton::clicked, this, &TfrmEditAHTDoc::Button2Click);
    connect(button5, &QPushButton::clicked, this, [this] { mDocument.Button5Click(); });
    connect(button6, &QPushButton::clicked, this, [this] { mDocument.Button6Click(); });
    connect(pdfButton, &QPushButton::clicked, this, [this] { mDocument.exportPdf(); });
    connect(button1, &QPushButton::clicked, this, &QDialog::reject);

    mDocument.setHint([this](bool visible) {
        mHint->setVisible(visible);
        // The strip was sized without the hint: grow it so the wrapped hint is not cut off.
        resize(width(), sizeHint().height());
        mHint->repaint();
    });
    mDocument.setPump([] { QCoreApplication::processEvents(); });

    mTimer1 = new QTimer(this);
    mTimer1->setObjectName(QStringLiteral("Timer1"));
    mTimer1->setSingleShot(true);
    mTimer1->setInterval(600);
    connect(mTimer1, &QTimer::timeout, this, &TfrmEditAHTDoc::Timer1Timer);

    new OfficeFrontKeeper(this, [this] { mDocument.OtherWindowActivated(); });

    setFixedWidth(110);
    resize(110, sizeHint().height());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
}

TfrmEditAHTDoc::~TfrmEditAHTDoc()
{
    mDocument.FormCloseQuery();
}

void TfrmEditAHTDoc::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (mPrepared)
        return;
    mPrepared = true;
    QMetaObject::invokeMethod(this, &TfrmEditAHTDoc::FormActivate, Qt::QueuedConnection);
}

void TfrmEditAHTDoc::FormActivate()
{
    if (!waitWhileOfficeStarts(*mWord, this, mHint))
        return;
    if (mDocument.ReadyData() != ContractDocument::Preparation::Failed)
        mTimer1->start();
}

void TfrmEditAHTDoc::Button2Click()
{
    if (mDocument.Button2Click())
        accept();
}

void TfrmEditAHTDoc::Timer1Timer()
{
    if (mDocument.Timer1Timer())
        reject();
}

void TfrmEditAHTDoc::reject()
{
    if (!mDocument.CanClose())
        return;
    QDialog::reject();
}

void TfrmEditAHTDoc::mousePressEvent(QMouseEvent *event)
{
    mDocument.FormMouseDown();
    QDialog::mousePressEvent(event);
}

void TfrmEditAHTDoc::done(int result)
{
    // Closing is never refused: the office quits without saving whatever way the window goes.
    mTimer1->stop();
    mDocument.FormCloseQuery();
    QDialog::done(result);
}
