#include "app/admin/RebuildDialog.h"

#include "app/admin/AdminCommands.h"
#include "app/admin/SystemRebuild.h"
#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

RebuildDialog::RebuildDialog(Database &database, std::function<void()> closeChildWindows, QWidget *parent)
    : QDialog(parent)
    , mDatabase(database)
    , mCloseChildWindows(std::move(closeChildWindows)) {
    setObjectName(QStringLiteral("RebuildDialog"));
    setWindowTitle(QStringLiteral("系统重建"));

    auto *warning = new QGroupBox(QStringLiteral("警告！！！"), this);
    warningText = new QPlainTextEdit(warning);
    warningText->setObjectName(QStringLiteral("warningText"));
    warningText->setReadOnly(true);
    warningText->setPlainText(QStringLiteral("    系统重建将会将系统中所有信息清除，本功能仅用\n"
                                             "于对期初测试、熟悉系统所产生的测试数据的清除。\n"
                                             "    在执行本功能之前，建议首先在服务端备份数据库\n"
                                             "。若由于没有备份数据而造成损失，开发商概不负责。"));
    QPalette palette = warningText->palette();
    palette.setColor(QPalette::Text, Qt::red);
    warningText->setPalette(palette);
    // The four lines are set as they should read: wide enough that none of them wraps.
    warningText->setLineWrapMode(QPlainTextEdit::NoWrap);
    warningText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    warningText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int widest = 0;
    for (const QString &line : warningText->toPlainText().split(QLatin1Char('\n')))
        widest = qMax(widest, warningText->fontMetrics().horizontalAdvance(line));
    warningText->setMinimumWidth(widest + 40);
    warningText->setFixedHeight(warningText->fontMetrics().lineSpacing() * 4 + 24);
    auto *warningLayout = new QVBoxLayout(warning);
    warningLayout->addWidget(warningText);

    clearRecordsCheck = new QCheckBox(QStringLiteral("清除业务数据"), this);
    clearRecordsCheck->setObjectName(QStringLiteral("clearRecordsCheck"));
    clearBasicsCheck = new QCheckBox(QStringLiteral("清除基本信息"), this);
    clearBasicsCheck->setObjectName(QStringLiteral("clearBasicsCheck"));

    ListSQL = new QListWidget(this);
    ListSQL->setObjectName(QStringLiteral("ListSQL"));
    ListSQL->addItems(SystemRebuild::rebuildStatements());
    ListSQL->hide();

    auto *buttons = new DialogButtonRow(this);
    rebuildButton = buttons->add("rebuildButton", QStringLiteral("系统重建"), DialogButtonRow::Enter::Never);
    cmdCancel = buttons->addCancel("cmdCancel", QStringLiteral("取消(&X)"), DialogButtonRow::Enter::Never);

    auto *checks = new QHBoxLayout;
    checks->addWidget(clearRecordsCheck);
    checks->addWidget(clearBasicsCheck);
    checks->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(warning);
    layout->addLayout(checks);
    layout->addLayout(buttons);

    connect(clearRecordsCheck, &QCheckBox::clicked, this, &RebuildDialog::recordsCheckToggled);
    connect(clearBasicsCheck, &QCheckBox::clicked, this, &RebuildDialog::basicsCheckToggled);
    connect(rebuildButton, &QPushButton::clicked, this, &RebuildDialog::rebuild);
}

void RebuildDialog::recordsCheckToggled(bool checked) {
    // The basic information is never cleared without the business data.
    if (!checked)
        clearBasicsCheck->setChecked(false);
}

void RebuildDialog::basicsCheckToggled(bool checked) {
    if (checked)
        clearRecordsCheck->setChecked(true);
}

void RebuildDialog::rebuild() {
    Messages &messages = Messages::instance();
    if (!clearRecordsCheck->isChecked() && !clearBasicsCheck->isChecked()) {
        messages.information(QStringLiteral("至少需要选择一项清除项目！"));
        return;
    }
    if (!messages.question(QStringLiteral("系统重建将清除所有数据，请确认您已经备份了数据库，是否继续？")))
        return;
    if (SystemRebuild::hasHistory(mDatabase) &&
        !messages.question(QStringLiteral("系统重建将同时清空全部合同的修改记录，清空后无法恢复，是否继续？")))
        return;
    QStringList statements;
    for (int i = 0; i < ListSQL->count(); ++i)
        statements << ListSQL->item(i)->text();
    if (!SystemRebuild::run(mDatabase, statements, clearBasicsCheck->isChecked(), mCloseChildWindows)) {
        messages.warning(QStringLiteral("系统重建失败：数据库中的数据未能全部清除！\n"
                                        "未清除的合同记录和合同类别，其合同文档和模板文件都已保留。"));
        return;
    }
    messages.information(QStringLiteral("系统重建完成！"));
    accept();
}

void ShowRebuild(QWidget *parent, Database &database, const std::function<void()> &closeChildWindows) {
    RebuildDialog dialog(database, closeChildWindows, parent);
    dialog.exec();
}
