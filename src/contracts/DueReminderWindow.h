#pragma once

#include "contracts/DueReminders.h"

#include <QWidget>

#include <functional>

class DueReminderModel;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMdiArea;
class QPushButton;
class QTableView;

// What the reminder window reaches outside the contracts subsystem: the export of its list.
struct DueReminderServices {
    // "发送到Excel": a title and the grid.
    std::function<void(const QString &title, QTableView *grid)> sendGridToExcel;
};

// "到期提醒": every contract whose marked date is due, over all categories, and the marked dates that cannot be
// read. A double click opens the contract in the entry dialog; "已处理" marks the selected reminder done.
class DueReminderWindow : public QWidget {
    Q_OBJECT
public:
    DueReminderWindow(Database &database, DueReminderServices services, QWidget *parent = nullptr);

    // Reads the reminders as of the clock's today; false (after the message) when they cannot be read.
    bool reload();

    void markSelectedDone();
    void openSelectedContract(QTableView *grid);
    void sendToExcel();

private:
    void selectionChanged();

    DueReminderServices mServices;
    DueReminders mReminders;
    DueReminderModel *mDueModel = nullptr;
    DueReminderModel *mUnreadableModel = nullptr;
    QLabel *summaryLabel = nullptr;
    QTableView *reminderGrid = nullptr;
    QGroupBox *unreadableBox = nullptr;
    QTableView *unreadableGrid = nullptr;
    QPushButton *doneButton = nullptr;
    QCheckBox *showDoneCheck = nullptr;
    QPushButton *sendToExcelButton = nullptr;
    QPushButton *closeButton = nullptr;
};

// Opens the reminder window in the area, or brings the open one to the front and reads it again.
bool openDueReminders(QMdiArea *area, Database &database, const DueReminderServices &services);
