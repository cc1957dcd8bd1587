#include "contracts/ChangeHistoryWindow.h"

#include "platform/Clock.h"
#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"
#include "store/Database.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

ChangeHistoryWindow::ChangeHistoryWindow(Database &database, std::optional<qint64> recordId, const QString &caption,
                                         SendToExcel send, QWidget *parent)
    : QDialog(parent)
    , mRecordId(recordId)
    , mSend(std::move(send))
    , mModel(database) {
    setObjectName(QStringLiteral("ChangeHistoryWindow"));
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);

    if (!mRecordId) {
        const QDate today = Clock::instance().now().date();
        fromDate = new QDateEdit(today.addDays(-30), this);
        fromDate->setObjectName(QStringLiteral("fromDate"));
        toDate = new QDateEdit(today, this);
        toDate->setObjectName(QStringLiteral("toDate"));
        for (QDateEdit *edit : {fromDate, toDate}) {
            edit->setCalendarPopup(true);
            edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        }
        userCombo = new QComboBox(this);
        userCombo->setObjectName(QStringLiteral("userCombo"));
        userCombo->addItem(QStringLiteral("全部用户"), QString());
        for (const QString &user : ChangeHistory::users())
            userCombo->addItem(user, user);
        categoryCombo = new QComboBox(this);
        categoryCombo->setObjectName(QStringLiteral("categoryCombo"));
        categoryCombo->addItem(QStringLiteral("全部分类"), QString());
        for (const auto &[code, name] : mModel.categories())
            categoryCombo->addItem(name, code);
        queryButton = new QPushButton(QStringLiteral("查询"), this);
        queryButton->setObjectName(QStringLiteral("queryButton"));
        auto *filter = new QHBoxLayout;
        filter->addWidget(new QLabel(QStringLiteral("日期从"), this));
        filter->addWidget(fromDate);
        filter->addWidget(new QLabel(QStringLiteral("到"), this));
        filter->addWidget(toDate);
        filter->addWidget(new QLabel(QStringLiteral("用户"), this));
        filter->addWidget(userCombo);
        filter->addWidget(new QLabel(QStringLiteral("合同分类"), this));
        filter->addWidget(categoryCombo);
        filter->addWidget(queryButton);
        filter->addStretch();
        layout->addLayout(filter);
        connect(queryButton, &QPushButton::clicked, this, &ChangeHistoryWindow::query);
    }

    historyGrid = new QTableView(this);
    historyGrid->setObjectName(QStringLiteral("historyGrid"));
    historyGrid->setModel(&mModel);
    historyGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    historyGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    historyGrid->setWordWrap(true);
    historyGrid->horizontalHeader()->setStretchLastSection(false);
    historyGrid->setColumnWidth(ChangeHistoryModel::ColTime, 140);
    historyGrid->setColumnWidth(ChangeHistoryModel::ColChanges, 320);
    historyGrid->setColumnWidth(ChangeHistoryModel::ColDigest, 120);
    // One record's history does not repeat its category and ID on every line.
    if (mRecordId) {
        historyGrid->hideColumn(ChangeHistoryModel::ColCategory);
        historyGrid->hideColumn(ChangeHistoryModel::ColRecord);
    }
    historyGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->addWidget(historyGrid);

    auto *buttons = new DialogButtonRow(this);
    sendToExcelButton = buttons->add("sendToExcelButton", QStringLiteral("发送到Excel"), DialogButtonRow::Enter::Never);
    closeButton = buttons->addCancel("closeButton", QStringLiteral("关闭"), DialogButtonRow::Enter::Default);
    layout->addLayout(buttons);
    connect(sendToExcelButton, &QPushButton::clicked, this, &ChangeHistoryWindow::sendToExcel);

    resize(1000, 520);
    query();
}

bool ChangeHistoryWindow::query() {
    ChangeHistory::Filter filter;
    filter.recordId = mRecordId;
    if (!mRecordId) {
        filter.from = fromDate->date();
        filter.to = toDate->date();
        filter.user = userCombo->currentData().toString();
        filter.category = categoryCombo->currentData().toString();
    }
    QString error;
    if (!mModel.load(filter, &error)) {
        Messages::instance().warning(mModel.database().failureText(QStringLiteral("读取数据库发生错误！"), error));
        return false;
    }
    historyGrid->resizeRowsToContents();
    return true;
}

void ChangeHistoryWindow::sendToExcel() {
    if (mSend)
        mSend(QString(), historyGrid);
}

void showRecordHistory(Database &database, QWidget *parent, qint64 recordId,
                       const ChangeHistoryWindow::SendToExcel &send) {
    ChangeHistoryWindow window(database, recordId, QStringLiteral("修改记录 - 合同 %1").arg(recordId), send, parent);
    window.exec();
}

void showChangeHistory(Database &database, QWidget *parent, const ChangeHistoryWindow::SendToExcel &send) {
    ChangeHistoryWindow window(database, std::nullopt, QStringLiteral("修改记录"), send, parent);
    window.exec();
}
