#include "app/PasswordDialog.h"

#include "app/LoginPassword.h"
#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordDialog::PasswordDialog(LoginPassword &password, QWidget *parent)
    : QDialog(parent)
    , mPassword(password) {
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("参数修改密码设置"));

    auto masked = [this](const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setEchoMode(QLineEdit::Password);
        edit->setMinimumWidth(200);
        return edit;
    };
    EditOld = masked("EditOld");
    EditNew = masked("EditNew");
    EditNewEnsure = masked("EditNewEnsure");

    auto *oldRow = new QHBoxLayout;
    oldRow->addWidget(EditOld);
    auto *initialPasswordLabel = new QLabel(QStringLiteral("初始密码为579"), this);
    initialPasswordLabel->setObjectName(QStringLiteral("initialPasswordLabel"));
    oldRow->addWidget(initialPasswordLabel);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("原密码"), oldRow);
    form->addRow(QStringLiteral("新密码"), EditNew);
    form->addRow(QStringLiteral("确认新密码"), EditNewEnsure);

    auto *hint = new QGroupBox(QStringLiteral("提示"), this);
    auto *hintText = new QPlainTextEdit(hint);
    hintText->setObjectName(QStringLiteral("hintText"));
    hintText->setReadOnly(true);
    hintText->setPlainText(QStringLiteral("如果密码修改为初始密码为空（或579），则表示\n"
                                          "登陆不需要输入密码！否则，表示登陆（清除数据\n"
                                          "以及还原数据）需要输入密码。"));
    hintText->setFixedHeight(hintText->fontMetrics().lineSpacing() * 4 + 12);
    auto *hintLayout = new QVBoxLayout(hint);
    hintLayout->addWidget(hintText);

    auto *buttons = new DialogButtonRow(this);
    QPushButton *okButton = buttons->add("okButton", QStringLiteral("确认(&E)"), DialogButtonRow::Enter::Default);
    buttons->addCancel("cancelButton", QStringLiteral("取消(&X)"), DialogButtonRow::Enter::Focused);
    connect(okButton, &QPushButton::clicked, this, &PasswordDialog::changePassword);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addLayout(buttons);
}

void PasswordDialog::changePassword() {
    switch (mPassword.changePassword(EditOld->text(), EditNew->text(), EditNewEnsure->text())) {
    case LoginPassword::ChangeResult::Mismatch:
        EditNew->clear();
        EditNewEnsure->clear();
        break;
    case LoginPassword::ChangeResult::ReadFailed:
        break;
    case LoginPassword::ChangeResult::WrongOld:
        EditOld->clear();
        EditOld->setFocus();
        break;
    case LoginPassword::ChangeResult::Saved:
    case LoginPassword::ChangeResult::SaveFailed:
        accept();
        break;
    }
}
