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
    FormCreate();
}

void MainWindow::FormCreate() {
    mFirstActivation = true;
    if (mCommands.database)
        mPassword.load(*mCommands.database);
    const QRect screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 1024, 768);
    setGeometry(0, 0, screen.width(), screen.height() - 30);
}

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

void MainWindow::buildToolBar() {
    // Two rows, wrapped after the maintenance button.
    auto *top = addToolBar(QStringLiteral("ToolBar1"));
    top->setObjectName(QStringLiteral("topToolBar"));
    top->setMovable(false);
    top->setIconSize(QSize(32, 32));
    addToolBarBreak();
    auto *bottom = addToolBar(QStringLiteral("ToolBar2"));
    bottom->setObjectName(QStringLiteral("bottomToolBar"));
    bottom->setMovable(false);
    bottom->setIconSize(QSize(32, 32));

    auto *contractsButton =
        addButton(top, "contractsButton", QStringLiteral("合同编辑与生成"), QStyle::SP_FileDialogDetailedView);
    connect(contractsButton, &QToolButton::clicked, this, &MainWindow::openContractRegister);
    auto *templatesButton =
        addButton(top, "templatesButton", QStringLiteral("合同模板管理"), QStyle::SP_FileDialogListView);
    connect(templatesButton, &QToolButton::clicked, this, &MainWindow::openTemplateManagement);
    auto *dueButton = addButton(top, "dueButton", QStringLiteral("到期提醒"), QStyle::SP_MessageBoxWarning);
    connect(dueButton, &QToolButton::clicked, this, &MainWindow::openDueReminders);
    top->addSeparator();

    auto *samplesButton = addButton(top, "samplesButton", QStringLiteral("在线合同范本"), QStyle::SP_FileLinkIcon);
    auto *sampleMenu = new QMenu(this);
    sampleMenu->setObjectName(QStringLiteral("sampleMenu"));
    for (int i = 0; i < mCommands.sampleSites.size(); ++i) {
        QAction *item = sampleMenu->addAction(mCommands.sampleSites.at(i).first);
        connect(item, &QAction::triggered, this, [this, i] {
            if (mCommands.openSample)
                mCommands.openSample(i);
        });
    }
    samplesButton->setMenu(sampleMenu);
    samplesButton->setPopupMode(QToolButton::InstantPopup);

    auto *passwordButton =
        addButton(top, "passwordButton", QStringLiteral("设置登陆密码"), QStyle::SP_DialogApplyButton);
    connect(passwordButton, &QToolButton::clicked, this, &MainWindow::setPassword);

    auto *db = addButton(top, "TBDatabase", QStringLiteral("数据库维护"), QStyle::SP_DialogSaveButton);
    auto *databaseMenu = new QMenu(this);
    databaseMenu->setObjectName(QStringLiteral("databaseMenu"));
    QAction *backupAction = databaseMenu->addAction(QStringLiteral("数据库备份"));
    backupAction->setObjectName(QStringLiteral("backupAction"));
    connect(backupAction, &QAction::triggered, this, &MainWindow::backupDatabase);
    QAction *restoreAction = databaseMenu->addAction(QStringLiteral("数据库还原"));
    restoreAction->setObjectName(QStringLiteral("restoreAction"));
    connect(restoreAction, &QAction::triggered, this, &MainWindow::restoreBackup);
    databaseMenu->addSeparator();
    QAction *rebuildAction = databaseMenu->addAction(QStringLiteral("系统重建"));
    rebuildAction->setObjectName(QStringLiteral("rebuildAction"));
    connect(rebuildAction, &QAction::triggered, this, &MainWindow::rebuildSystem);
    QAction *historyAction = databaseMenu->addAction(QStringLiteral("修改记录"));
    historyAction->setObjectName(QStringLiteral("changeHistoryAction"));
    connect(historyAction, &QAction::triggered, this, &MainWindow::showChangeHistory);
    databaseMenu->addSeparator();
    QAction *serverAction = databaseMenu->addAction(QStringLiteral("服务器连接设置"));
    serverAction->setObjectName(QStringLiteral("serverConnectionAction"));
    connect(serverAction, &QAction::triggered, this, &MainWindow::serverConnectionSettings);
    db->setMenu(databaseMenu);
    db->setPopupMode(QToolButton::InstantPopup);

    auto *updateButton = addButton(bottom, "updateButton", QStringLiteral("在线升级"), QStyle::SP_BrowserReload);
    connect(updateButton, &QToolButton::clicked, this, &MainWindow::updateOnline);
    bottom->addSeparator();

    auto *help = addButton(bottom, "TBHelp", QStringLiteral("帮助"), QStyle::SP_DialogHelpButton);
    auto *helpMenu = new QMenu(this);
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction *manualAction = helpMenu->addAction(QStringLiteral("使用说明"));
    manualAction->setObjectName(QStringLiteral("manualAction"));
    connect(manualAction, &QAction::triggered, this, [this] {
        if (mCommands.openHelp)
            mCommands.openHelp(this);
    });
    QAction *tutorialAction = helpMenu->addAction(QStringLiteral("动画教程"));
    tutorialAction->setObjectName(QStringLiteral("tutorialAction"));
    connect(tutorialAction, &QAction::triggered, this, [this] {
        if (mCommands.openTutorial)
            mCommands.openTutorial(this);
    });
    helpMenu->addSeparator();
    QAction *aboutAction = helpMenu->addAction(QStringLiteral("关于.."));
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    connect(aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    help->setMenu(helpMenu);
    help->setPopupMode(QToolButton::InstantPopup);

    auto *tutorialButton = addButton(bottom, "tutorialButton", QStringLiteral("动画教程"), QStyle::SP_MediaPlay);
    connect(tutorialButton, &QToolButton::clicked, this, [this] {
        if (mCommands.openTutorial)
            mCommands.openTutorial(this);
    });
    bottom->addSeparator();
    auto *closeButton = addButton(bottom, "closeButton", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);
    connect(closeButton, &QToolButton::clicked, this, &QWidget::close);
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Some platforms (offscreen, some window managers) never activate the window: check once it is shown.
    QTimer::singleShot(0, this, &MainWindow::FormActivate);
}

void MainWindow::FormActivate() {
    if (!mFirstActivation)
        return;
    mFirstActivation = false;
    if (!mPassword.loginCheck(Messages::instance())) {
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
    return mPassword.adminCheck(Messages::instance());
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
