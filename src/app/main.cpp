#include "app/Composition.h"
#include "app/ServerLogin.h"
#include "app/TfrmMainContract.h"
#include "platform/Messages.h"
#include "platform/QtPlatform.h"
#include "store/AppFolder.h"
#include "store/TDM.h"

#include <QApplication>
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

    const QString appFolder = AppFolder::forProgram(QCoreApplication::applicationDirPath());
    if (ServerLogin::SettingsIncomplete(appFolder, Messages::instance()))
        return 1;
    if (TDM::usesServer(appFolder)) {
        // The user chose to quit rather than to work without the shared data.
        if (!ServerLogin::OpenServerAtStart(appFolder, Messages::instance()))
            return 0;
    } else if (!TDM::create(appFolder).isConnected()) {
        Messages::instance().information(QStringLiteral("请确认您的程序是否安装正确，或者没有安装MDAC数据访问组件！"));
    }

    Composition composition;
    TfrmMainContract frmMainContract(composition.mainCommands());
    if (QCoreApplication::arguments().size() == 2) // a backup opened with the program from the file manager
        frmMainContract.restoreAfterLogin(QCoreApplication::arguments().at(1));
    frmMainContract.show();
    composition.afterMainWindowShown();
    const int rc = QApplication::exec();
    TDM::destroy();
    return rc;
}
