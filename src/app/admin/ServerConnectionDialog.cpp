#include "app/admin/ServerConnectionDialog.h"

#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QLineEdit *lineEdit(QWidget *parent, const char *name, const QString &text) {
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMinimumWidth(260);
    return edit;
}
} // namespace

ServerConnectionDialog::ServerConnectionDialog(const QString &appFolder, QWidget *parent)
    : QDialog(parent)
    , mLogic(appFolder) {
    setObjectName(QStringLiteral("ServerConnectionDialog"));
    setWindowTitle(QStringLiteral("服务器连接设置"));
    QFormLayout *form = createFields();
    auto *hint =
        new QLabel(mLogic.configured()
                       ? QStringLiteral("程序正在使用数据库服务器。密码只用于测试连接和建立数据表，不会保存。")
                       : QStringLiteral("程序正在使用本机的数据库文件。密码只用于测试连接和建立数据表，不会保存。"),
                   this);
    hint->setObjectName(QStringLiteral("hintLabel"));
    hint->setWordWrap(true);

    auto *buttons = new DialogButtonRow(this);
    testButton = buttons->add("testButton", QStringLiteral("测试连接(&T)"), DialogButtonRow::Enter::Focused);
    createButton = buttons->add("createButton", QStringLiteral("建立数据表(&C)"), DialogButtonRow::Enter::Focused);
    saveButton = buttons->add("saveButton", QStringLiteral("保存(&S)"), DialogButtonRow::Enter::Default);
    embeddedButton =
        buttons->add("embeddedButton", QStringLiteral("改用本机数据库(&L)"), DialogButtonRow::Enter::Focused);
    buttons->addCancel("closeButton", QStringLiteral("关闭(&X)"), DialogButtonRow::Enter::Focused);

    connectControls();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    showEncryption();
}

QFormLayout *ServerConnectionDialog::createFields() {
    const ServerSettings &s = mLogic.settings;
    hostEdit = lineEdit(this, "hostEdit", s.host);
    portEdit = new QSpinBox(this);
    portEdit->setObjectName(QStringLiteral("portEdit"));
    portEdit->setRange(1, 65535);
    portEdit->setValue(s.port);
    databaseEdit = lineEdit(this, "databaseEdit", s.database);
    userEdit = lineEdit(this, "userEdit", s.user);
    passwordEdit = lineEdit(this, "passwordEdit", QString());
    passwordEdit->setEchoMode(QLineEdit::Password);
    encryptionBox = new QComboBox(this);
    encryptionBox->setObjectName(QStringLiteral("encryptionBox"));
    encryptionBox->addItems(ServerSettings::encryptionCaptions());
    encryptionBox->setCurrentIndex(int(s.encryption));
    rootCertificateEdit = lineEdit(this, "rootCertificateEdit", QDir::toNativeSeparators(s.rootCertificate));
    rootCertificateButton = new QPushButton(QStringLiteral("选择(&R)..."), this);
    rootCertificateButton->setObjectName(QStringLiteral("rootCertificateButton"));
    auto *certificateRow = new QHBoxLayout;
    certificateRow->addWidget(rootCertificateEdit, 1);
    certificateRow->addWidget(rootCertificateButton);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("服务器地址："), hostEdit);
    form->addRow(QStringLiteral("端口："), portEdit);
    form->addRow(QStringLiteral("数据库名："), databaseEdit);
    form->addRow(QStringLiteral("用户名："), userEdit);
    form->addRow(QStringLiteral("密码："), passwordEdit);
    form->addRow(QStringLiteral("加密方式："), encryptionBox);
    form->addRow(QStringLiteral("根证书文件："), certificateRow);
    return form;
}

void ServerConnectionDialog::connectControls() {
    connect(encryptionBox, &QComboBox::currentIndexChanged, this, &ServerConnectionDialog::showEncryption);
    connect(rootCertificateButton, &QPushButton::clicked, this, [this] {
        takeFields();
        if (mLogic.chooseRootCertificate())
            rootCertificateEdit->setText(QDir::toNativeSeparators(mLogic.settings.rootCertificate));
    });
    connect(testButton, &QPushButton::clicked, this, [this] {
        takeFields();
        mLogic.testConnection();
    });
    connect(createButton, &QPushButton::clicked, this, [this] {
        takeFields();
        mLogic.createTables();
    });
    connect(saveButton, &QPushButton::clicked, this, [this] {
        takeFields();
        if (mLogic.save())
            accept();
    });
    connect(embeddedButton, &QPushButton::clicked, this, [this] {
        if (mLogic.useEmbedded())
            accept();
    });
}

void ServerConnectionDialog::showEncryption() {
    const bool verify = encryptionBox->currentIndex() == int(ServerSettings::Encryption::VerifyServer);
    rootCertificateEdit->setEnabled(verify);
    rootCertificateButton->setEnabled(verify);
}

void ServerConnectionDialog::takeFields() {
    ServerSettings &s = mLogic.settings;
    s.host = hostEdit->text();
    s.port = portEdit->value();
    s.database = databaseEdit->text();
    s.user = userEdit->text();
    s.password = passwordEdit->text();
    s.encryption = ServerSettings::Encryption(encryptionBox->currentIndex());
    s.rootCertificate = QDir::fromNativeSeparators(rootCertificateEdit->text().trimmed());
}

void ShowServerConnection(QWidget *parent, const QString &appFolder) {
    ServerConnectionDialog dialog(appFolder, parent);
    dialog.exec();
}
