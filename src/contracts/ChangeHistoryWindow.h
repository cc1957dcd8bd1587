#pragma once

#include "contracts/ChangeHistoryModel.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTableView;

// The history window "修改记录": one contract's history (from the register's context menu), or the whole history
// with a filter by date range, user and category (from "数据库维护"). Read-only: nothing here edits or deletes
// history.
class ChangeHistoryWindow : public QDialog {
    Q_OBJECT

public:
    // Hands the grid to the spreadsheet export ("发送到Excel").
    using SendToExcel = std::function<void(const QString &title, QTableView *grid)>;

    // A record's history when recordId is given, the whole history otherwise.
    ChangeHistoryWindow(Database &database, std::optional<qint64> recordId, const QString &caption, SendToExcel send,
                        QWidget *parent = nullptr);

    ChangeHistoryModel *model() { return &mModel; }
    // Reads the rows again with the filter as set; false after telling the user it failed.
    bool query();

    QDateEdit *fromDate = nullptr;
    QDateEdit *toDate = nullptr;
    QComboBox *userCombo = nullptr;
    QComboBox *categoryCombo = nullptr;
    QPushButton *queryButton = nullptr;
    QTableView *historyGrid = nullptr;
    QPushButton *sendToExcelButton = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void sendToExcel();

    std::optional<qint64> mRecordId;
    SendToExcel mSend;
    ChangeHistoryModel mModel;
};

// The register's "修改记录" for one record.
void showRecordHistory(Database &database, QWidget *parent, qint64 recordId,
                       const ChangeHistoryWindow::SendToExcel &send);
// "数据库维护" → "修改记录": the whole history.
void showChangeHistory(Database &database, QWidget *parent, const ChangeHistoryWindow::SendToExcel &send);
