#pragma once

#include "app/admin/ServerConnection.h"

#include <QDialog>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "服务器连接设置": the fields of the server connection over ServerConnection, which decides and tells.
class ServerConnectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ServerConnectionDialog(const QString &appFolder, QWidget *parent = nullptr);

    ServerConnection &logic() { return mLogic; }

    QLineEdit *hostEdit;
    QSpinBox *portEdit;
    QLineEdit *databaseEdit;
    QLineEdit *userEdit;
    QLineEdit *passwordEdit;
    // "加密方式": the choices in the order of ServerSettings::Encryption.
    QComboBox *encryptionBox;
    QLineEdit *rootCertificateEdit;
    QPushButton *rootCertificateButton;
    QPushButton *testButton;
    QPushButton *createButton;
    QPushButton *saveButton;
    QPushButton *embeddedButton;

private:
    // The fields with the stored settings, in their form.
    QFormLayout *createFields();
    void connectControls();
    // The fields into the logic's settings before every command.
    void takeFields();
    // The root certificate counts only when the server's certificate is checked.
    void showEncryption();

    ServerConnection mLogic;
};

// Opens the dialog for the application folder (with a trailing '/').
void ShowServerConnection(QWidget *parent, const QString &appFolder);
