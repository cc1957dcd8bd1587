#include "app/TfrmMainContract.h"

#include "platform/Messages.h"
#include "store/TDM.h"
#include "app/TfrmAbout.h"
#include "app/TfrmPassSet.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdlib>
#include <utility>

TfrmMainContract::TfrmMainContract(MainCommands commands, QWidget *parent)
    : QMainWindow(parent)
    , mCommands(std::move(commands))
{
    setObjectName(QStringLiteral("TfrmMainContract"));
    setWindowTitle(ApplicationTitle);
    // The child windows and dialogs take the application's icon; without one they would show the toolkit's logo.
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    mArea = new QMdiArea(this);
    mArea->setObjectName(QStringLiteral("mdiArea"));
    mArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(mArea);
    buildToolBar();

    terminate = [this] {
        TDM::instance().close();
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        hide();
    };
    FormCreate();
}

void TfrmMainContract::FormCreate()
{
    mFirstActivation = true;
    if (TDM::exists())
        mPassword.load(TDM::instance());
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                         : QRect(0, 0, 1024, 768);
    setGeometry(0, 0, screen.width(), screen.height() - 30);
}

QToolButton *TfrmMainContract::addButton(QToolBar *bar, const char *name, const QString &caption, int icon)
{
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

void TfrmMainContract::buildToolBar()
{
    // Two rows, wrapped after the maintenance button.
    auto *top = addToolBar(QStringLiteral("ToolBar1"));
    top->setObjectName(QStringLiteral("ToolBar1"));
    top->setMovable(false);
    top->setIconSize(QSize(32, 32));
    addToolBarBreak();
    auto *bottom = addToolBar(QStringLiteral("ToolBar2"));
    bottom->setObjectName(QStringLiteral("ToolBar2"));
    bottom->setMovable(false);
    bottom->setIconSize(QSize(32, 32));

    auto *b15 = addButton(top, "ToolButton15", QStringLiteral("合同编辑与生成"), QStyle::SP_FileDialogDetailedView);
    connect(b15, &QToolButton::clicked, this, &TfrmMainContract::ToolButton15Click);
    auto *b21 = addButton(top, "ToolButton21", QStringLiteral("合同模板管理"), QStyle::SP_FileDialogListView);
    connect(b21, &QToolButton::clicked, this, &TfrmMainContract::ToolButton21Click);
    top->addSeparator();

    auto *b5 = addButton(top, "ToolButton5", QStringLiteral("在线合同范本"), QStyle::SP_FileLinkIcon);
    auto *PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    for (int i = 0; i < mCommands.sampleSites.size(); ++i) {
        QAction *item = PopupMenu3->addAction(mCommands.sampleSites.at(i).first);
        connect(item, &QAction::triggered, this, [this, i] {
            if (mCommands.openSample)
                mCommands.openSample(i);
        });
    }
    b5->setMenu(PopupMenu3);
    b5->setPopupMode(QToolButton::InstantPopup);

    auto *b1 = addButton(top, "ToolButton1", QStringLiteral("设置登陆密码"), QStyle::SP_DialogApplyButton);
    connect(b1, &QToolButton::clicked, this, &TfrmMainContract::ToolButton1Click);

    auto *db = addButton(top, "TBDatabase", QStringLiteral("数据库维护"), QStyle::SP_DialogSaveButton);
    auto *PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    QAction *MenuItem1 = PopupMenu2->addAction(QStringLiteral("数据库备份"));
    MenuItem1->setObjectName(QStringLiteral("MenuItem1"));
    connect(MenuItem1, &QAction::triggered, this, &TfrmMainContract::MenuItem1Click);
    QAction *MenuItem2 = PopupMenu2->addAction(QStringLiteral("数据库还原"));
    MenuItem2->setObjectName(QStringLiteral("MenuItem2"));
    connect(MenuItem2, &QAction::triggered, this, &TfrmMainContract::MenuItem2Click);
    PopupMenu2->addSeparator();
    QAction *N2 = PopupMenu2->addAction(QStringLiteral("系统重建"));
    N2->setObjectName(QStringLiteral("N2"));
    connect(N2, &QAction::triggered, this, &TfrmMainContract::N2Click);
    db->setMenu(PopupMenu2);
    db->setPopupMode(QToolButton::InstantPopup);

    auto *b11 = addButton(bottom, "ToolButton11", QStringLiteral("在线升级"), QStyle::SP_BrowserReload);
    connect(b11, &QToolButton::clicked, this, &TfrmMainContract::ToolButton11Click);
    bottom->addSeparator();

    auto *help = addButton(bottom, "TBHelp", QStringLiteral("帮助"), QStyle::SP_DialogHelpButton);
    auto *PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction *N12 = PopupMenu1->addAction(QStringLiteral("使用说明"));
    N12->setObjectName(QStringLiteral("N12"));
    connect(N12, &QAction::triggered, this, [this] {
        if (mCommands.openHelp)
            mCommands.openHelp(this);
    });
    QAction *N13 = PopupMenu1->addAction(QStringLiteral("动画教程"));
    N13->setObjectName(QStringLiteral("N13"));
    connect(N13, &QAction::triggered, this, [this] {
        if (mCommands.openTutorial)
            mCommands.openTutorial(this);
    });
    PopupMenu1->addSeparator();
    QAction *N15 = PopupMenu1->addAction(QStringLiteral("关于.."));
    N15->setObjectName(QStringLiteral("N15"));
    connect(N15, &QAction::triggered, this, &TfrmMainContract::N15Click);
    help->setMenu(PopupMenu1);
    help->setPopupMode(QToolButton::InstantPopup);

    auto *b7 = addButton(bottom, "ToolButton7", QStringLiteral("动画教程"), QStyle::SP_MediaPlay);
    connect(b7, &QToolButton::clicked, this, [this] {
        if (mCommands.openTutorial)
            mCommands.openTutorial(this);
    });
    bottom->addSeparator();
    auto *b2 = addButton(bottom, "ToolButton2", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);
    connect(b2, &QToolButton::clicked, this, &QWidget::close);
}

void TfrmMainContract::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TfrmMainContract::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Some platforms (offscreen, some window managers) never activate the window: check once it is shown.
    QTimer::singleShot(0, this, &TfrmMainContract::FormActivate);
}

void TfrmMainContract::FormActivate()
{
    if (!mFirstActivation)
        return;
    mFirstActivation = false;
    if (!mPassword.loginCheck(Messages::instance())) {
        terminate();
        return;
    }
    if (!mStartArchive.isEmpty())
        QTimer::singleShot(0, this, [this] { restoreDatabase(std::exchange(mStartArchive, QString())); });
}

void TfrmMainContract::closeEvent(QCloseEvent *event)
{
    closeChildWindows();
    event->accept();
}

void TfrmMainContract::closeChildWindows()
{
    const QList<QMdiSubWindow *> children = mArea->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *child : children)
        child->close();
}

void TfrmMainContract::openSingleChild(const char *className, const std::function<bool(QMdiArea *)> &opener)
{
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

bool TfrmMainContract::adminCheck()
{
    return mPassword.adminCheck(Messages::instance());
}

void TfrmMainContract::ToolButton15Click()
{
    openSingleChild("TfrmContractMag", mCommands.OpenContractMag);
}

void TfrmMainContract::ToolButton21Click()
{
    openSingleChild("TfrmContractModel", mCommands.OpenContractModel);
}

void TfrmMainContract::ToolButton1Click()
{
    TfrmPassSet dialog(mPassword, this);
    dialog.exec();
}

void TfrmMainContract::MenuItem1Click()
{
    if (mCommands.backup)
        mCommands.backup();
}

void TfrmMainContract::MenuItem2Click()
{
    restoreDatabase({});
}

void TfrmMainContract::restoreDatabase(const QString &archive)
{
    if (!mCommands.restore)
        return;
    mCommands.restore([this] { return adminCheck(); },
                      [] {
                          TDM::instance().close();
                          // The database files were replaced under the running program: end at once, without
                          // closing the windows one by one. A quick exit still runs the handlers registered for
                          // it (at_quick_exit), which end the office processes the program started.
                          QCoreApplication::exit(0);
                          std::quick_exit(0);
                      },
                      archive);
}

void TfrmMainContract::N2Click()
{
    if (!adminCheck() || !mCommands.rebuild)
        return;
    mCommands.rebuild(this, [this] { closeChildWindows(); });
}

void TfrmMainContract::ToolButton11Click()
{
    if (mCommands.startUpdater)
        mCommands.startUpdater();
    close();
}

void TfrmMainContract::N15Click()
{
    TfrmAbout about(mCommands.webAddress, this);
    about.exec();
}
