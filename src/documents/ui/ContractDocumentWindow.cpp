#include "documents/ui/ContractDocumentWindow.h"

#include "office/WordApp.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ContractDocumentWindow::ContractDocumentWindow(const QString &categoryCode, const QString &documentPath, int recordId,
                                               std::unique_ptr<WordApp> word, QWidget *parent)
    : OfficeToolWindow(std::move(word),
                       Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint, parent)
    , mDocument(this->word(), categoryCode, documentPath, recordId) {
    setObjectName(QStringLiteral("ContractDocumentWindow"));
    setWindowTitle(QStringLiteral("合同编辑"));

    QPushButton *regenerateButton = addButton("regenerateButton", QStringLiteral("重新生成"));
    QPushButton *saveButton = addButton("saveButton", QStringLiteral("保存"));
    QPushButton *printButton = addButton("printButton", QStringLiteral("打印"));
    QPushButton *sendMailButton = addButton("sendMailButton", QStringLiteral("电子邮件"));
    QPushButton *pdfButton = addButton("exportPdfButton", QStringLiteral("导出PDF"));
    QPushButton *checkButton = addButton("checkDocumentButton", QStringLiteral("检查合同文档"));
    QPushButton *closeButton = addButton("closeButton", QStringLiteral("关闭"));
    mHint = new QLabel(QStringLiteral("正在生成合同......"), this);
    mHint->setObjectName(QStringLiteral("lblHint"));
    mHint->setStyleSheet(QStringLiteral("color: red;"));
    mHint->setWordWrap(true);
    // The strip is narrower than the hint: it takes two lines.
    mHint->setMinimumHeight(mHint->fontMetrics().lineSpacing() * 2 + 2);
    mHint->hide();
    stripLayout()->addWidget(mHint);
    stripLayout()->addStretch();
    setStartHint(mHint);

    connect(regenerateButton, &QPushButton::clicked, this, [this] { mDocument.regenerate(); });
    connect(saveButton, &QPushButton::clicked, this, &ContractDocumentWindow::save);
    connect(printButton, &QPushButton::clicked, this, [this] { mDocument.print(); });
    connect(sendMailButton, &QPushButton::clicked, this, [this] { mDocument.sendMail(); });
    connect(pdfButton, &QPushButton::clicked, this, [this] { mDocument.exportPdf(); });
    connect(checkButton, &QPushButton::clicked, this, [this] { mDocument.checkDocument(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    mDocument.setHint([this](bool visible) {
        mHint->setVisible(visible);
        // The strip was sized without the hint: grow it so the wrapped hint is not cut off.
        resize(width(), sizeHint().height());
        mHint->repaint();
    });
    mDocument.setPump([] { QCoreApplication::processEvents(); });

    setFixedWidth(110);
    resize(110, sizeHint().height());
    moveToTopLeft();
}

ContractDocumentWindow::~ContractDocumentWindow() {
    mDocument.close();
}

void ContractDocumentWindow::save() {
    if (mDocument.save())
        accept();
}

void ContractDocumentWindow::placementTimeout() {
    // A category without a template: the window closes itself instead.
    if (mDocument.raiseOffice())
        reject();
}

void ContractDocumentWindow::mousePressEvent(QMouseEvent *event) {
    mDocument.windowClicked();
    OfficeToolWindow::mousePressEvent(event);
}
