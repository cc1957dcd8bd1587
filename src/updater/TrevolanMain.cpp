#include "platform/Messages.h"
#include "platform/QtPlatform.h"
#include "platform/Shell.h"
#include "updater/UpdateInstaller.h"

#include <QApplication>

// The updater: started by the application from its folder, without parameters, while the application closes.
int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trevolan"));
    QApplication::setApplicationDisplayName(ApplicationTitle);
    QtPlatform::install();

    UpdateInstaller installer(QCoreApplication::applicationDirPath());
    const auto outcome = installer.run(30000);
    return outcome == UpdateInstaller::Outcome::Installed || outcome == UpdateInstaller::Outcome::NothingToInstall ? 0
                                                                                                                   : 1;
}
