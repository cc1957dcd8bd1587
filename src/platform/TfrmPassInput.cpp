#include "platform/TfrmPassInput.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmPassInput::TfrmPassInput(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmPassInput"));
    setWindowTitle(QStringLiteral("请输入密码"));
    lblHint = new QLabel(QStringLiteral("请输入密码："), this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    EditPass = new QLineEdit(this);
    EditPass->setObjectName(QStringLiteral("EditPass"));
    EditPass->setEchoMode(QLineEdit::Password);
    EditPass->setMinimumWidth(220);

    auto *cmdEnsure = new QPushButton(QStringLiteral("确认(&E)"), this);
    cmdEnsure->setObjectName(QStringLiteral("cmdEnsure"));
    cmdEnsure->setDefault(true);
    auto *cmdCancel = new QPushButton(QStringLiteral("取消(&X)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Both buttons only close: the caller reads the typed text in every case.
    connect(cmdEnsure, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdEnsure);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblHint);
    layout->addWidget(EditPass);
    layout->addLayout(buttons);
}

QString TfrmPassInput::ask(const QString &caption, const QString &hint, QWidget *parent)
{
    TfrmPassInput dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.lblHint->setText(hint);
    dialog.exec();
    return dialog.EditPass->text();
}
