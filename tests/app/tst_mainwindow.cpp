#include "app/LoginPassword.h"
#include "app/MainWindow.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

// A child window standing in for the register: counts how often it was created.
class ContractRegisterWindow : public QWidget {
    Q_OBJECT
};

// And for the reminder list.
class DueReminderWindow : public QWidget {
    Q_OBJECT
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        Messages::setInstance(&mMessages);
        mMessages.clear();
    }

    void toolbarCaptionsInOrderAndGeometry() {
        TempAppFolder app;
        MainCommands commands;
        commands.database = &app.database();
        MainWindow window(commands);
        QStringList captions;
        for (QToolBar *bar : window.findChildren<QToolBar *>()) {
            for (QAction *action : bar->actions()) {
                if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)))
                    captions << button->text();
            }
        }
        QCOMPARE(captions, (QStringList{"合同编辑与生成", "合同模板管理", "到期提醒", "在线合同范本", "设置登陆密码",
                                        "数据库维护", "在线升级", "帮助", "动画教程", "关闭"}));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window.geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(window.width(), screen.width());
        QCOMPARE(window.height(), screen.height() - 30);
        QCOMPARE(window.windowTitle(), QStringLiteral("Vantrel"));
    }

    void startsWithAMissingDatabase() {
        QTemporaryDir dir;
        MainCommands commands;
        commands.database = &Database::create(dir.path());
        MainWindow window(commands);
        bool terminated = false;
        window.terminate = [&] { terminated = true; };
        window.show();
        QTRY_VERIFY(!window.password().isSet());
        QCoreApplication::processEvents();
        QVERIFY(!terminated);
        QVERIFY(mMessages.shown().isEmpty());
        Database::destroy();
    }

    void wrongLoginTerminatesOnce() {
        TempAppFolder app;
        QVERIFY(
            app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {LoginPassword::toStored(QStringLiteral("pw"))}));
        MainCommands commands;
        commands.database = &app.database();
        MainWindow window(commands);
        int terminated = 0;
        window.terminate = [&] { ++terminated; };
        mMessages.answerPassword(QStringLiteral("wrong"));
        window.show();
        QTRY_COMPARE(terminated, 1);
        QCOMPARE(mMessages.texts(), (QStringList{"请输入登陆密码：", "密码错误！"}));
        window.checkLoginOnce();
        QCOMPARE(terminated, 1);
    }

    void rightLoginLetsTheUserIn() {
        TempAppFolder app;
        QVERIFY(
            app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {LoginPassword::toStored(QStringLiteral("pw"))}));
        MainCommands commands;
        commands.database = &app.database();
        MainWindow window(commands);
        int terminated = 0;
        window.terminate = [&] { ++terminated; };
        mMessages.answerPassword(QStringLiteral("pw"));
        window.show();
        QTRY_COMPARE(mMessages.shown().size(), 1);
        QCOMPARE(terminated, 0);
    }

    void childWindowsAreSingleAndClosedWithTheFrame() {
        TempAppFolder app;
        int created = 0;
        MainCommands commands;
        commands.openContractRegisterWindow = [&](QMdiArea *area) {
            ++created;
            auto *child = new ContractRegisterWindow;
            child->setAttribute(Qt::WA_DeleteOnClose);
            area->addSubWindow(child)->showMaximized();
            return true;
        };
        commands.database = &app.database();
        MainWindow window(commands);
        window.show();
        window.openContractRegister();
        window.openContractRegister();
        QCOMPARE(created, 1);
        QCOMPARE(window.mdiArea()->subWindowList().size(), 1);

        window.closeChildWindows();
        QTRY_COMPARE(window.mdiArea()->subWindowList().size(), 0);
        window.openContractRegister();
        QCOMPARE(created, 2);
        window.close();
        QTRY_COMPARE(window.mdiArea()->subWindowList().size(), 0);
    }

    // Due dates are told in the status bar after the login, never by a dialog; the note and the toolbar button open
    // the list.
    void dueDatesAreToldInTheStatusBar_data() {
        QTest::addColumn<int>("due");
        QTest::newRow("none due") << 0;
        QTest::newRow("three due") << 3;
    }
    void dueDatesAreToldInTheStatusBar() {
        QFETCH(int, due);
        TempAppFolder app;
        int opened = 0;
        MainCommands commands;
        commands.countDueContracts = [&] { return due; };
        commands.OpenDueReminders = [&](QMdiArea *area) {
            ++opened;
            auto *child = new DueReminderWindow;
            child->setAttribute(Qt::WA_DeleteOnClose);
            QMdiSubWindow *sub = area->addSubWindow(child);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->showMaximized();
            return true;
        };
        commands.database = &app.database();
        MainWindow window(commands);
        window.show();
        auto *note = window.findChild<QLabel *>(QStringLiteral("dueNote"));
        QVERIFY(note);
        QTRY_COMPARE(note->isVisible(), due > 0);
        QVERIFY(mMessages.shown().isEmpty());
        if (due > 0) {
            QVERIFY(note->text().contains(QStringLiteral("有 3 份合同的日期在提醒期内")));
            Q_EMIT note->linkActivated(QStringLiteral("due"));
            QCOMPARE(opened, 1);
            // Reminders marked done in the list: the note follows once the list is closed.
            due = 1;
            window.closeChildWindows();
            QTRY_VERIFY(note->text().contains(QStringLiteral("有 1 份合同的日期在提醒期内")));
        }
        window.findChild<QToolButton *>(QStringLiteral("dueButton"))->click();
        QCOMPARE(opened, due > 0 ? 2 : 1);
    }

    // The server connection decides which data the next start works on, the whole history shows every user's
    // work: the administrative password guards both.
    void maintenanceAfterTheAdminCheck_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::newRow("server connection")
            << QStringLiteral("serverConnectionAction") << QStringLiteral("服务器连接设置");
        QTest::newRow("whole history") << QStringLiteral("changeHistoryAction") << QStringLiteral("修改记录");
    }
    void maintenanceAfterTheAdminCheck() {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        TempAppFolder app;
        QVERIFY(
            app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {LoginPassword::toStored(QStringLiteral("pw"))}));
        QStringList opened;
        MainCommands commands;
        commands.serverConnection = [&](QWidget *) { opened << QStringLiteral("serverConnectionAction"); };
        commands.changeHistory = [&](QWidget *) { opened << QStringLiteral("changeHistoryAction"); };
        commands.database = &app.database();
        MainWindow window(commands);
        auto *menuAction = window.findChild<QAction *>(action);
        QVERIFY(menuAction);
        QCOMPARE(menuAction->text(), caption);
        mMessages.answerPassword(QStringLiteral("wrong"));
        menuAction->trigger();
        QCOMPARE(opened, QStringList());
        QCOMPARE(mMessages.lastText(), QStringLiteral("密码错误！"));
        mMessages.answerPassword(QStringLiteral("pw"));
        menuAction->trigger();
        QCOMPARE(opened, QStringList{action});
    }

    // What a second start of the program handed over: the window comes back to the front; a backup's restore
    // waits until the dialog the user is working in is closed, then asks its questions here.
    void handedOverBackupWaitsForTheOpenDialog() {
        TempAppFolder app;
        QStringList restores;
        MainCommands commands;
        commands.restore = [&](const std::function<bool()> &, const std::function<void()> &, const QString &archive) {
            restores << archive;
        };
        commands.database = &app.database();
        MainWindow window(commands);
        window.show();
        QTest::qWait(50); // the first activation (no password here)
        window.showMinimized();
        QDialog entry(&window);
        entry.setModal(true);
        entry.show();
        window.handOver(QStringLiteral("/home/u/备份.HTBK"));
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        QTest::qWait(700);
        QVERIFY(restores.isEmpty());
        entry.close();
        QTRY_COMPARE(restores, QStringList{QStringLiteral("/home/u/备份.HTBK")});
        window.handOver(QString());
        QTest::qWait(400);
        QCOMPARE(restores.size(), 1);
    }

    void updaterClosesTheWindowEvenWhenItFails() {
        TempAppFolder app;
        bool started = false;
        MainCommands commands;
        commands.startUpdater = [&] { started = true; };
        commands.database = &app.database();
        MainWindow window(commands);
        window.show();
        QVERIFY(window.isVisible());
        window.updateOnline();
        QVERIFY(started);
        QVERIFY(!window.isVisible());
    }

private:
    ScriptedMessages mMessages;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
