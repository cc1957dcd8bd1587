#pragma once

#include <QDialog>

class LoginPassword;
class QLineEdit;

// "参数修改密码设置": changes the login password.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(LoginPassword &password, QWidget *parent = nullptr);

    QLineEdit *EditOld;
    QLineEdit *EditNew;
    QLineEdit *EditNewEnsure;

    void changePassword();

private:
    LoginPassword &mPassword;
};
