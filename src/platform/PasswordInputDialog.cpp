#include "platform/PasswordInputDialog.h"

#include "platform/DialogButtonRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordInputDialog::PasswordInputDialog(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PasswordInputDialog"));
    setWindowTitle(QStringLiteral("请输入密码"));
    lblHint = new QLabel(QStringLiteral("请输入密码："), this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    EditPass = new QLineEdit(this);
    EditPass->setObjectName(QStringLiteral("EditPass"));
    EditPass->setEchoMode(QLineEdit::Password);
    EditPass->setMinimumWidth(220);

    auto *buttons = new DialogButtonRow(this);
    QPushButton *cmdEnsure = buttons->add("cmdEnsure", QStringLiteral("确认(&E)"), DialogButtonRow::Enter::Default);
    buttons->addCancel("cmdCancel", QStringLiteral("取消(&X)"), DialogButtonRow::Enter::Focused);
    // Both buttons only close: the caller reads the typed text in every case.
    connect(cmdEnsure, &QPushButton::clicked, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblHint);
    layout->addWidget(EditPass);
    layout->addLayout(buttons);
}

QString PasswordInputDialog::ask(const QString &caption, const QString &hint, QWidget *parent) {
    PasswordInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.lblHint->setText(hint);
    dialog.exec();
    return dialog.EditPass->text();
}
