#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/PasswordDialog.h"
#include "platform/Messages.h"
#include "store/Database.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdlib>
#include <utility>

MainWindow::MainWindow(MainCommands commands, QWidget *parent)
    : QMainWindow(parent)
    , mCommands(std::move(commands)) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(ApplicationTitle);
    // The child windows and dialogs take the application's icon; without one they would show the toolkit's logo.
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    mArea = new QMdiArea(this);
    mArea->setObjectName(QStringLiteral("mdiArea"));
    mArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(mArea);
    buildToolBar();
    // Due dates are told here, never by a dialog in the way of the start; a click opens the list.
    mDueNote = new QLabel(this);
    mDueNote->setObjectName(QStringLiteral("dueNote"));
    mDueNote->setTextFormat(Qt::RichText);
    mDueNote->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    mDueNote->hide();
    connect(mDueNote, &QLabel::linkActivated, this, &MainWindow::openDueReminders);
    statusBar()->addWidget(mDueNote);

    terminate = [this] {
        if (mCommands.database)
            mCommands.database->close();
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        hide();
    };
    startUp();
}

void MainWindow::startUp() {
    mFirstActivation = true;
    if (mCommands.database)
        mPassword.load(*mCommands.database);
    const QRect screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
    setGeometry(0, 0, screen.width(), screen.height() - 30);
}

namespace {

// The frame's commands, one row each, in the manner of an action manager: where the command sits, its id (the object
// name the tests and the help pages find it by), its caption and icon, and what it runs or the menu it opens. A row
// without an id is a separator. The two toolbar rows and the drop-down menus are built from these tables alone.
struct ToolbarRow {
    enum Bar { Top, Bottom } bar;
    const char *id;
    const char *text;
    QStyle::StandardPixmap icon;
    void (MainWindow::*run)();
    const char *menu;
};

const ToolbarRow ToolbarRows[] = {
    {ToolbarRow::Top, "contractsButton", "合同编辑与生成", QStyle::SP_FileDialogDetailedView,
     &MainWindow::openContractRegister, nullptr},
    {ToolbarRow::Top, "templatesButton", "合同模板管理", QStyle::SP_FileDialogListView,
     &MainWindow::openTemplateManagement, nullptr},
    {ToolbarRow::Top, "dueButton", "到期提醒", QStyle::SP_MessageBoxWarning, &MainWindow::openDueReminders, nullptr},
    {ToolbarRow::Top, nullptr, nullptr, {}, nullptr, nullptr},
    {ToolbarRow::Top, "samplesButton", "在线合同范本", QStyle::SP_FileLinkIcon, nullptr, "sampleMenu"},
    {ToolbarRow::Top, "passwordButton", "设置登陆密码", QStyle::SP_DialogApplyButton, &MainWindow::setPassword,
     nullptr},
    {ToolbarRow::Top, "TBDatabase", "数据库维护", QStyle::SP_DialogSaveButton, nullptr, "databaseMenu"},
    {ToolbarRow::Bottom, "updateButton", "在线升级", QStyle::SP_BrowserReload, &MainWindow::updateOnline, nullptr},
    {ToolbarRow::Bottom, nullptr, nullptr, {}, nullptr, nullptr},
    {ToolbarRow::Bottom, "TBHelp", "帮助", QStyle::SP_DialogHelpButton, nullptr, "helpMenu"},
    {ToolbarRow::Bottom, "tutorialButton", "动画教程", QStyle::SP_MediaPlay, &MainWindow::openTutorial, nullptr},
    {ToolbarRow::Bottom, nullptr, nullptr, {}, nullptr, nullptr},
    {ToolbarRow::Bottom, "closeButton", "关闭", QStyle::SP_DialogCloseButton, &MainWindow::closeFrame, nullptr},
};

struct MenuRow {
    const char *menu;
    const char *id;
    const char *text;
    void (MainWindow::*run)();
};

// The menu of "在线合同范本" holds the sample sites the commands name; it has no fixed rows.
const MenuRow MenuRows[] = {
    {"databaseMenu", "backupAction", "数据库备份", &MainWindow::backupDatabase},
    {"databaseMenu", "restoreAction", "数据库还原", &MainWindow::restoreBackup},
    {"databaseMenu", nullptr, nullptr, nullptr},
    {"databaseMenu", "rebuildAction", "系统重建", &MainWindow::rebuildSystem},
    {"databaseMenu", "changeHistoryAction", "修改记录", &MainWindow::showChangeHistory},
    {"databaseMenu", nullptr, nullptr, nullptr},
    {"databaseMenu", "serverConnectionAction", "服务器连接设置", &MainWindow::serverConnectionSettings},
    {"helpMenu", "manualAction", "使用说明", &MainWindow::openManual},
    {"helpMenu", "tutorialAction", "动画教程", &MainWindow::openTutorial},
    {"helpMenu", nullptr, nullptr, nullptr},
    {"helpMenu", "aboutAction", "关于..", &MainWindow::showAbout},
};

} // namespace

QToolButton *MainWindow::addButton(QToolBar *bar, const char *name, const QString &caption, int icon) {
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(84);
    bar->addWidget(button);
    return button;
}

QToolBar *MainWindow::addToolBarRow(const QString &title, const char *name) {
    auto *bar = addToolBar(title);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    return bar;
}

QMenu *MainWindow::buildMenu(const char *name) {
    auto *menu = new QMenu(this);
    menu->setObjectName(QString::fromLatin1(name));
    for (const MenuRow &row : MenuRows) {
        if (qstrcmp(row.menu, name) != 0)
            continue;
        if (!row.id) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(QString::fromUtf8(row.text));
        action->setObjectName(QString::fromLatin1(row.id));
        connect(action, &QAction::triggered, this, row.run);
    }
    if (qstrcmp(name, "sampleMenu") == 0) {
        for (int i = 0; i < mCommands.sampleSites.size(); ++i) {
            QAction *item = menu->addAction(mCommands.sampleSites.at(i).first);
            connect(item, &QAction::triggered, this, [this, i] {
                if (mCommands.openSample)
                    mCommands.openSample(i);
            });
        }
    }
    return menu;
}

void MainWindow::buildToolBar() {
    // Two rows, wrapped after the maintenance button.
    QToolBar *top = addToolBarRow(QStringLiteral("ToolBar1"), "topToolBar");
    addToolBarBreak();
    QToolBar *bottom = addToolBarRow(QStringLiteral("ToolBar2"), "bottomToolBar");
    for (const ToolbarRow &row : ToolbarRows) {
        QToolBar *bar = row.bar == ToolbarRow::Top ? top : bottom;
        if (!row.id) {
            bar->addSeparator();
            continue;
        }
        QToolButton *button = addButton(bar, row.id, QString::fromUtf8(row.text), row.icon);
        if (row.menu) {
            button->setMenu(buildMenu(row.menu));
            button->setPopupMode(QToolButton::InstantPopup);
        } else {
            connect(button, &QToolButton::clicked, this, row.run);
        }
    }
}

void MainWindow::openManual() {
    if (mCommands.openHelp)
        mCommands.openHelp(this);
}

void MainWindow::openTutorial() {
    if (mCommands.openTutorial)
        mCommands.openTutorial(this);
}

void MainWindow::closeFrame() {
    close();
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        checkLoginOnce();
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Some platforms (offscreen, some window managers) never activate the window: check once it is shown.
    QTimer::singleShot(0, this, &MainWindow::checkLoginOnce);
}

void MainWindow::checkLoginOnce() {
    if (!mFirstActivation)
        return;
    mFirstActivation = false;
    if (!mPassword.loginCheck()) {
        terminate();
        return;
    }
    if (!mStartArchive.isEmpty())
        QTimer::singleShot(0, this, [this] { restoreDatabase(std::exchange(mStartArchive, QString())); });
    else
        refreshDueNote();
}

MainWindow::~MainWindow() {
    // The reminder list refreshes the note when the user closes it, not when the frame tears its children down:
    // by then this object is half destroyed.
    for (QMdiSubWindow *child : mArea->subWindowList())
        disconnect(child, &QObject::destroyed, this, nullptr);
}

void MainWindow::refreshDueNote() {
    const int due = mCommands.countDueContracts ? mCommands.countDueContracts() : 0;
    mDueNote->setVisible(due > 0);
    if (due > 0)
        mDueNote->setText(QStringLiteral("<a href=\"due\">有 %1 份合同的日期在提醒期内</a>").arg(due));
}

void MainWindow::openDueReminders() {
    openSingleChild("DueReminderWindow", mCommands.OpenDueReminders);
    // What was marked done or changed in the list shows in the note once the list is closed.
    for (QMdiSubWindow *child : mArea->subWindowList()) {
        if (child->widget() && child->widget()->inherits("DueReminderWindow"))
            connect(child, &QObject::destroyed, this, &MainWindow::refreshDueNote, Qt::UniqueConnection);
    }
}

void MainWindow::closeEvent(QCloseEvent *event) {
    closeChildWindows();
    event->accept();
}

void MainWindow::closeChildWindows() {
    const QList<QMdiSubWindow *> children = mArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *child : children)
        child->close();
}

void MainWindow::openSingleChild(const char *className, const std::function<bool(QMdiArea *)> &opener) {
    const QList<QMdiSubWindow *> children = mArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *child : children) {
        if (child->widget() && child->widget()->inherits(className)) {
            child->show();
            mArea->setActiveSubWindow(child);
            child->raise();
            return;
        }
    }
    if (opener)
        opener(mArea);
}

bool MainWindow::adminCheck() {
    return mPassword.adminCheck();
}

void MainWindow::openContractRegister() {
    openSingleChild("ContractRegisterWindow", mCommands.openContractRegisterWindow);
}

void MainWindow::openTemplateManagement() {
    openSingleChild("TemplateManagerWindow", mCommands.openTemplateManagerWindow);
}

void MainWindow::setPassword() {
    PasswordDialog dialog(mPassword, this);
    dialog.exec();
}

void MainWindow::backupDatabase() {
    if (mCommands.backup)
        mCommands.backup();
}

void MainWindow::restoreBackup() {
    restoreDatabase({});
}

void MainWindow::restoreDatabase(const QString &archive) {
    if (!mCommands.restore)
        return;
    mCommands.restore([this] { return adminCheck(); },
                      [database = mCommands.database] {
                          if (database)
                              database->close();
                          // The database files were replaced under the running program: end at once, without
                          // closing the windows one by one. A quick exit still runs the handlers registered for
                          // it (at_quick_exit), which end the office processes the program started.
                          QCoreApplication::exit(0);
                          std::quick_exit(0);
                      },
                      archive);
}

void MainWindow::handOver(const QString &archive) {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (archive.isEmpty())
        return;
    mHandedArchives << archive;
    restoreHandedArchive();
}

void MainWindow::restoreHandedArchive() {
    if (mHandedArchives.isEmpty())
        return;
    if (mFirstActivation || QApplication::activeModalWidget()) {
        QTimer::singleShot(300, this, &MainWindow::restoreHandedArchive);
        return;
    }
    restoreDatabase(mHandedArchives.takeFirst());
    if (!mHandedArchives.isEmpty())
        QTimer::singleShot(0, this, &MainWindow::restoreHandedArchive);
}

void MainWindow::rebuildSystem() {
    if (!adminCheck() || !mCommands.rebuild)
        return;
    mCommands.rebuild(this, [this] { closeChildWindows(); });
}

void MainWindow::showChangeHistory() {
    if (!adminCheck() || !mCommands.changeHistory)
        return;
    mCommands.changeHistory(this);
}

void MainWindow::serverConnectionSettings() {
    // It decides which data the program works on at its next start: as guarded as restore and rebuild.
    if (!adminCheck() || !mCommands.serverConnection)
        return;
    mCommands.serverConnection(this);
}

void MainWindow::updateOnline() {
    if (mCommands.startUpdater)
        mCommands.startUpdater();
    close();
}

void MainWindow::showAbout() {
    AboutDialog about(mCommands.webAddress, this);
    about.exec();
}
