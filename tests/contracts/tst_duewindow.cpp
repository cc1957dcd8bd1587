// The reminder window as the user meets it: due rows with past days in red, the unreadable dates apart, "已处理"
// and "显示已处理", the export, and a double click that opens the contract.

#include "contracts/ContractEntryDialog.h"
#include "contracts/ContractRegisterWindow.h"
#include "contracts/DueReminderModel.h"
#include "contracts/DueReminderWindow.h"
#include "platform/Clock.h"
#include "platform/ScriptedMessages.h"
#include "support/RegisterServices.h"
#include "support/TempAppFolder.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QGroupBox>
#include <QMdiArea>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {
const QString Cat = QStringLiteral("00010001");
} // namespace

class TestDueWindow : public QObject {
    Q_OBJECT
    ScriptedMessages mMessages;
    FixedClock mClock{QDateTime(QDate(2026, 3, 7), QTime(8, 30))};

private Q_SLOTS:
    void initTestCase() {
        Messages::setInstance(&mMessages);
        Clock::setInstance(&mClock);
    }
    void cleanupTestCase() {
        Messages::setInstance(nullptr);
        Clock::setInstance(nullptr);
    }

    // The register's context menu opens the list in the register's own area.
    void registerOpensTheList() {
        TempAppFolder app;
        QMdiArea area;
        QMdiArea *openedIn = nullptr;
        ContractRegisterServices services = registerServicesForTest();
        services.openDueReminders = [&](QMdiArea *in) {
            openedIn = in;
            return true;
        };
        QVERIFY(openContractRegisterWindow(&area, app.database(), services));
        auto *action = area.findChild<QAction *>(QStringLiteral("dueRemindersAction"));
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("到期提醒"));
        action->trigger();
        QCOMPARE(openedIn, &area);
    }

    void windowListsMarksAndOpens() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{Cat, QStringLiteral("设备采购")}}, QStringLiteral("合同")));
        QVERIFY(app.addIndicator(Cat, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
        const int expiry = app.addIndicator(Cat, QStringLiteral("到期日"), 2, QStringLiteral("Data2"), 2, {},
                                            QStringLiteral("yyyy-MM-dd"));
        QVERIFY(app.markDue(expiry, 30));
        for (const auto &[party, date] :
             {std::pair{"华东机械", "2026-03-01"}, std::pair{"西南电力", "2026-03-27"}, std::pair{"远航贸易", "月底"}})
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
                             {Cat, QString::fromUtf8(party), QString::fromUtf8(date)}));

        QTableView *exported = nullptr;
        DueReminderServices services;
        services.sendGridToExcel = [&](const QString &, QTableView *grid) { exported = grid; };
        DueReminderWindow window(app.database(), services);
        QVERIFY(window.reload());
        window.resize(900, 500);
        window.show();
        auto *grid = window.findChild<QTableView *>(QStringLiteral("reminderGrid"));
        auto *unreadable = window.findChild<QTableView *>(QStringLiteral("unreadableGrid"));
        auto *done = window.findChild<QPushButton *>(QStringLiteral("doneButton"));
        auto *showDone = window.findChild<QCheckBox *>(QStringLiteral("showDoneCheck"));
        QVERIFY(grid && unreadable && done && showDone);

        const auto cell = [](QTableView *view, int row, int column) {
            return view->model()->index(row, column).data().toString();
        };
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(cell(grid, 0, DueReminderModel::Date), QStringLiteral("2026-03-01"));
        QCOMPARE(cell(grid, 0, DueReminderModel::DaysLeft), QStringLiteral("-6"));
        QCOMPARE(cell(grid, 0, DueReminderModel::FirstText), QStringLiteral("甲方：华东机械"));
        QCOMPARE(grid->model()->index(0, DueReminderModel::DaysLeft).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(Qt::red));
        QVERIFY(!grid->model()->index(1, DueReminderModel::DaysLeft).data(Qt::ForegroundRole).isValid());
        QVERIFY(window.findChild<QGroupBox *>(QStringLiteral("unreadableBox"))->isVisibleTo(&window));
        QCOMPARE(unreadable->model()->rowCount(), 1);
        // Without days left and state: the texts of the contract are the last columns.
        QCOMPARE(unreadable->model()->columnCount(), 6);
        QCOMPARE(unreadable->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("合同信息二"));
        QCOMPARE(cell(unreadable, 0, DueReminderModel::Date), QStringLiteral("月底"));

        // "已处理" takes the selected row off the list; "显示已处理" shows it again, marked, and can take it back.
        grid->selectRow(0);
        QTest::mouseClick(done, Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(cell(grid, 0, DueReminderModel::Date), QStringLiteral("2026-03-27"));
        showDone->setChecked(true);
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(cell(grid, 0, DueReminderModel::State), QStringLiteral("已处理"));
        grid->selectRow(0);
        QCOMPARE(done->text(), QStringLiteral("取消已处理"));
        QTest::mouseClick(done, Qt::LeftButton);
        QCOMPARE(cell(grid, 0, DueReminderModel::State), QString());

        QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("sendToExcelButton")), Qt::LeftButton);
        QCOMPARE(exported, grid);

        // A double click opens the contract in the entry dialog.
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<ContractEntryDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            for (QTableView *view : dialog->findChildren<QTableView *>())
                for (int r = 0; r < view->model()->rowCount(); ++r)
                    for (int c = 0; c < view->model()->columnCount(); ++c)
                        shown += view->model()->index(r, c).data().toString() + QLatin1Char('|');
            dialog->reject();
        });
        grid->selectRow(1);
        const QRect at = grid->visualRect(grid->model()->index(1, 0));
        // The view takes a double click only on the cell it was pressed on.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at.center());
        QVERIFY2(shown.contains(QStringLiteral("西南电力")), qPrintable(shown));
    }
};

QTEST_MAIN(TestDueWindow)
#include "tst_duewindow.moc"
