#pragma once

#include "app/LoginPassword.h"

#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QStringList>

#include <functional>

class Database;
class QLabel;
class QMdiArea;
class QToolButton;
class QMenu;
class QToolBar;

// What the main window's commands call. The composition root (app/Composition) fills these with the subsystems'
// windows; tests fill them with recorders, so the frame is tested on its own.
struct MainCommands {
    // The program's database: the login password's, and closed before the process ends. None in tests of the
    // frame alone.
    Database *database = nullptr;
    std::function<bool(QMdiArea *)> openContractRegisterWindow;
    std::function<bool(QMdiArea *)> openTemplateManagerWindow;
    // "到期提醒": the reminder window; and how many contracts have dates due today (0 when none or unreadable).
    std::function<bool(QMdiArea *)> OpenDueReminders;
    std::function<int()> countDueContracts;
    std::function<void()> backup;
    // Restore: given the administrative check, the way to end the process and the archive when already known.
    std::function<void(const std::function<bool()> &, const std::function<void()> &, const QString &)> restore;
    // Rebuild dialog: given the way to close every child window.
    std::function<void(QWidget *, const std::function<void()> &)> rebuild;
    // "服务器连接设置": the dialog of the shared database server's connection.
    std::function<void(QWidget *)> serverConnection;
    // "修改记录": the whole history of changes.
    std::function<void(QWidget *)> changeHistory;
    // The help pages, in a window owned by the main window.
    std::function<void(QWidget *)> openHelp;
    std::function<void(QWidget *)> openTutorial;
    QList<QPair<QString, QString>> sampleSites; // caption, address
    std::function<void(int)> openSample;
    std::function<void()> startUpdater;
    QString webAddress;
};

// The frame: toolbar, drop-down menus and the multi-document area holding the two working windows.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainCommands commands, QWidget *parent = nullptr);
    ~MainWindow() override;

    QMdiArea *mdiArea() const { return mArea; }
    LoginPassword &password() { return mPassword; }

    // Ends the application after a wrong login; replaceable so tests can see it without quitting.
    std::function<void()> terminate;

    // The first activation runs the login check once.
    void checkLoginOnce();
    // Shows the child window of the class when there is one, else opens a new one with the opener.
    void openSingleChild(const char *className, const std::function<bool(QMdiArea *)> &opener);
    void closeChildWindows();
    // The administrative password check before restore and rebuild.
    bool adminCheck();
    // A backup the program was started with (double-clicked in the file manager): restored after the login.
    void restoreAfterLogin(const QString &archive) { mStartArchive = archive; }
    void restoreDatabase(const QString &archive);
    // What a later start of the program on the same data folder handed over: the window comes to the front, and a
    // backup is restored as one the program was started with. Its questions wait for the login and for a dialog
    // that is open (the user finishes what he is doing first).
    void handOver(const QString &archive);

    void openContractRegister();
    void openTemplateManagement();
    void openDueReminders();
    // The status bar's note of contracts with dates due, read again.
    void refreshDueNote();
    void setPassword();
    void backupDatabase();
    void restoreBackup();
    void rebuildSystem();
    void serverConnectionSettings();
    // "修改记录" after the administrative password check.
    void showChangeHistory();
    void updateOnline();
    void showAbout();
    // "使用说明" and "动画教程": the help pages.
    void openManual();
    void openTutorial();
    // "关闭": closes the frame, which ends the program.
    void closeFrame();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Loads the login password and takes the screen.
    void startUp();
    // The toolbar rows and their menus, from the table of the frame's commands.
    void buildToolBar();
    QToolBar *addToolBarRow(const QString &title, const char *name);
    QMenu *buildMenu(const char *name);
    QToolButton *addButton(QToolBar *bar, const char *name, const QString &caption, int icon);

    MainCommands mCommands;
    QMdiArea *mArea = nullptr;
    LoginPassword mPassword;
    bool mFirstActivation = true;
    QString mStartArchive;
    QStringList mHandedArchives;
    void restoreHandedArchive();
    QLabel *mDueNote = nullptr;
};
