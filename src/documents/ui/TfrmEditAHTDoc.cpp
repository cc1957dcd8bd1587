#include "TfrmEditAHTDoc.h"

#include "Messages.h"
#include "OfficeFrontKeeper.h"
#include "OfficeWait.h"
#include "WordApp.h"

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
    QPushButton *regenerateButton = addButton("regenerateButton", QStringLiteral("重新生成"));
    QPushButton *saveButton = addButton("saveButton", QStringLiteral("保存"));
    QPushButton *printButton = addButton("printButton", QStringLiteral("打印"));
    QPushButton *sendMailButton = addButton("sendMailButton", QStringLiteral("电子邮件"));
    QPushButton *pdfButton = addButton("exportPdfButton", QStringLiteral("导出PDF"));
    QPushButton *closeButton = addButton("closeButton", QStringLiteral("关闭"));
    mHint = new QLabel(QStringLiteral("正在生成合同......"), this);
    mHint->setObjectName(QStringLiteral("lblHint"));
    mHint->setStyleSheet(QStringLiteral("color: red;"));
    mHint->setWordWrap(true);
    // The strip is narrower than the hint: it takes two lines.
    mHint->setMinimumHeight(mHint->fontMetrics().lineSpacing() * 2 + 2);
    mHint->hide();
    layout->addWidget(mHint);
    layout->addStretch();

    connect(regenerateButton, &QPushButton::clicked, this, [this] { mDocument.regenerate(); });
    connect(saveButton, &QPushButton::clicked, this, &TfrmEditAHTDoc::save);
    connect(printButton, &QPushButton::clicked, this, [this] { mDocument.print(); });
    connect(sendMailButton, &QPushButton::clicked, this, [this] { mDocument.sendMail(); });
    connect(pdfButton, &QPushButton::clicked, this, [this] { mDocument.exportPdf(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    mDocument.setHint([this](bool visible) {
        mHint->setVisible(visible);
        // The strip was sized without the hint: grow it so the wrapped hint is not cut off.
        resize(width(), sizeHint().height());
        mHint->repaint();
    });
    mDocument.setPump([] { QCoreApplication::processEvents(); });

    mPlacementTimer = new QTimer(this);
    mPlacementTimer->setObjectName(QStringLiteral("placementTimer"));
    mPlacementTimer->setSingleShot(true);
    mPlacementTimer->setInterval(600);
    connect(mPlacementTimer, &QTimer::timeout, this, &TfrmEditAHTDoc::raiseOffice);

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
        mPlacementTimer->start();
}

void TfrmEditAHTDoc::save()
{
    if (mDocument.save())
        accept();
}

void TfrmEditAHTDoc::raiseOffice()
{
    if (mDocument.raiseOffice())
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
    mPlacementTimer->stop();
    mDocument.FormCloseQuery();
    QDialog::done(result);
}
