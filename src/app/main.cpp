#include "app/Composition.h"
#include "app/MainWindow.h"
#include "app/ServerLogin.h"
#include "app/SingleInstance.h"
#include "platform/Messages.h"
#include "platform/QtPlatform.h"
#include "store/AppFolder.h"
#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    // Answered before the application object exists: it needs no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return std::printf("vantrel %s\n", VANTREL_VERSION) < 0 ? 1 : 0;
    AppFolder::keepNewFilesPrivate();
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    // The icon of the menu entry, also where the desktop's icon theme does not hold it (a portable copy).
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vantrel"), icon));
    QApplication::setApplicationDisplayName(ApplicationTitle);
    QtPlatform::install();

    // A backup opened from the file manager while the program runs starts a second copy: it hands the backup to
    // the program already working on this data folder, which asks its questions, and ends. So does a start
    // without a file, which brings that program's window to the front.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QStringList arguments = QCoreApplication::arguments();
    const QString handed = arguments.size() == 2 ? QFileInfo(arguments.at(1)).absoluteFilePath() : QString();
    SingleInstance instance(AppFolder::locate(programFolder));
    switch (instance.start(handed)) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::NoAnswer:
        Messages::instance().warning(
            QStringLiteral("本程序已经在使用数据文件夹“%1”，但没有响应（也可能是其他用户或其他计算机上的本程序）。\n"
                           "请切换到正在运行的程序，或将其关闭后再启动。")
                .arg(QDir::toNativeSeparators(AppFolder::locate(programFolder))));
        return 1;
    case SingleInstance::Role::First:
        break;
    }

    const QString appFolder = AppFolder::forProgram(programFolder);
    if (ServerLogin::settingsIncomplete(appFolder))
        return 1;
    std::unique_ptr<Database> database;
    if (Database::usesServer(appFolder)) {
        database = ServerLogin::openServerAtStart(appFolder);
        // The user chose to quit rather than to work without the shared data.
        if (!database)
            return 0;
    } else {
        database = Database::open(appFolder);
        // The program goes on without its data, as it always has: each window then says what it cannot read.
        if (!database->isConnected())
            Messages::instance().information(QStringLiteral("无法打开数据文件“%1”：%2\n请确认您的程序是否安装正确！")
                                                 .arg(QDir::toNativeSeparators(database->path(Database::DatabaseFile)),
                                                      database->connectionError()));
    }

    Composition composition(std::move(database));
    MainWindow mainWindow(composition.mainCommands());
    if (!handed.isEmpty()) // a backup opened with the program from the file manager
        mainWindow.restoreAfterLogin(handed);
    instance.setReceiver([&mainWindow](const QString &archive) { mainWindow.handOver(archive); });
    mainWindow.show();
    composition.afterMainWindowShown();
    return QApplication::exec();
}
