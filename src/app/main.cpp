#include "AppCommands.h"
#include "Messages.h"
#include "QtPlatform.h"
#include "TDM.h"
#include "TfrmMainContract.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationDisplayName(ApplicationTitle);
    QtPlatform::install();

    TDM &dm = TDM::create(QCoreApplication::applicationDirPath());
    if (!dm.isConnected())
        Messages::instance().information(QStringLiteral("请确认您的程序是否安装正确，或者没有安装MDAC数据访问组件！"));

    installSubsystemHooks();
    TfrmMainContract frmMainContract(appCommands());
    frmMainContract.show();
    const int rc = QApplication::exec();
    TDM::destroy();
    return rc;
}
