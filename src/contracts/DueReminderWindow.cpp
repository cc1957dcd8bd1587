#include "contracts/DueReminderWindow.h"

#include "catalogue/MdiChild.h"
#include "contracts/ContractEntryDialog.h"
#include "contracts/DueReminderModel.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "store/Database.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QTableView *makeGrid(const char *name, DueReminderModel *model, QWidget *parent) {
    auto *grid = new QTableView(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

QPushButton *makeButton(const char *name, const QString &text, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

DueReminderWindow::DueReminderWindow(Database &database, DueReminderServices services, QWidget *parent)
    : QWidget(parent)
    , mServices(std::move(services))
    , mReminders(database) {
    setObjectName(QStringLiteral("DueReminderWindow"));
    setWindowTitle(QStringLiteral("到期提醒"));

    mDueModel = new DueReminderModel(DueReminderModel::Kind::Due, this);
    mUnreadableModel = new DueReminderModel(DueReminderModel::Kind::Unreadable, this);
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    reminderGrid = makeGrid("reminderGrid", mDueModel, this);
    unreadableBox = new QGroupBox(QStringLiteral("无法识别的日期"), this);
    unreadableBox->setObjectName(QStringLiteral("unreadableBox"));
    unreadableGrid = makeGrid("unreadableGrid", mUnreadableModel, unreadableBox);
    auto *unreadableLayout = new QVBoxLayout(unreadableBox);
    unreadableLayout->addWidget(new QLabel(
        QStringLiteral("以下合同填写的日期无法按指标的格式识别，双击打开合同改正后才能提醒："), unreadableBox));
    unreadableLayout->addWidget(unreadableGrid);

    doneButton = makeButton("doneButton", QStringLiteral("已处理"), this);
    showDoneCheck = new QCheckBox(QStringLiteral("显示已处理"), this);
    showDoneCheck->setObjectName(QStringLiteral("showDoneCheck"));
    sendToExcelButton = makeButton("sendToExcelButton", QStringLiteral("发送到Excel"), this);
    closeButton = makeButton("closeButton", QStringLiteral("退出"), this);
    auto *bar = new QHBoxLayout;
    bar->addWidget(doneButton);
    bar->addWidget(showDoneCheck);
    bar->addSpacing(16);
    bar->addWidget(sendToExcelButton);
    bar->addStretch();
    bar->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summaryLabel);
    layout->addWidget(reminderGrid, 3);
    layout->addWidget(unreadableBox, 1);
    layout->addLayout(bar);

    connect(doneButton, &QPushButton::clicked, this, &DueReminderWindow::markSelectedDone);
    connect(showDoneCheck, &QCheckBox::toggled, this, &DueReminderWindow::reload);
    connect(sendToExcelButton, &QPushButton::clicked, this, &DueReminderWindow::sendToExcel);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->close();
        else
            close();
    });
    connect(reminderGrid, &QTableView::doubleClicked, this, [this] { openSelectedContract(reminderGrid); });
    connect(unreadableGrid, &QTableView::doubleClicked, this, [this] { openSelectedContract(unreadableGrid); });
    connect(reminderGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DueReminderWindow::selectionChanged);
}

bool DueReminderWindow::reload() {
    const QDate today = Clock::instance().now().date();
    QString error;
    DueReminders::Options options;
    options.includeDone = showDoneCheck->isChecked();
    if (!mReminders.load(today, options, &error)) {
        Messages::instance().warning(mReminders.database().failureText(QStringLiteral("读取数据库发生错误！"), error));
        return false;
    }
    const int current = reminderGrid->currentIndex().row();
    mDueModel->setReminders(mReminders.due());
    mUnreadableModel->setReminders(mReminders.unreadable());
    unreadableBox->setVisible(!mReminders.unreadable().isEmpty());
    summaryLabel->setText(
        QStringLiteral(
            "今天是%1。以下合同的日期在提醒期内（过期30天以内，或在指标的提前天数以内），共%2条，涉及%3份合同。")
            .arg(today.toString(QStringLiteral("yyyy年M月d日")))
            .arg(mReminders.due().size())
            .arg(mReminders.contractsDue()));
    reminderGrid->resizeColumnsToContents();
    unreadableGrid->resizeColumnsToContents();
    if (mDueModel->rowCount() > 0)
        reminderGrid->selectRow(qBound(0, current, mDueModel->rowCount() - 1));
    selectionChanged();
    return true;
}

void DueReminderWindow::selectionChanged() {
    const int row = reminderGrid->currentIndex().row();
    const bool any = row >= 0 && row < mDueModel->rowCount();
    doneButton->setEnabled(any);
    doneButton->setText(any && mDueModel->reminder(row).done ? QStringLiteral("取消已处理") : QStringLiteral("已处理"));
}

void DueReminderWindow::markSelectedDone() {
    const int row = reminderGrid->currentIndex().row();
    if (row < 0 || row >= mDueModel->rowCount())
        return;
    const DueReminder reminder = mDueModel->reminder(row);
    QString error;
    const bool stored = reminder.done ? mReminders.unmarkDone(reminder, &error)
                                      : mReminders.markDone(reminder, Clock::instance().now(), &error);
    if (!stored) {
        Messages::instance().warning(mReminders.database().failureText(QStringLiteral("存储数据发生错误！"), error));
        return;
    }
    reload();
}

void DueReminderWindow::openSelectedContract(QTableView *grid) {
    auto *model = qobject_cast<DueReminderModel *>(grid->model());
    const int row = grid->currentIndex().row();
    if (!model || row < 0 || row >= model->rowCount())
        return;
    const DueReminder reminder = model->reminder(row);
    // A changed date moves the contract in the list or out of it.
    if (editContract(mReminders.database(), int(reminder.contractId), reminder.categoryCode, this))
        reload();
}

void DueReminderWindow::sendToExcel() {
    if (mServices.sendGridToExcel)
        mServices.sendGridToExcel(QString(), reminderGrid);
}

bool openDueReminders(QMdiArea *area, Database &database, const DueReminderServices &services) {
    if (auto *open = activateOpenChild<DueReminderWindow>(area))
        return open->reload();
    auto *window = new DueReminderWindow(database, services);
    return showMaximizedChild(area, window, window->reload());
}
