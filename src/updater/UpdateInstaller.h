#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

// The work of the updater Trevolan, which the application starts from its folder while it closes itself:
// wait until the application has ended, install the update package found in the folder Update/ of the application
// folder, start the application again. A package is a ZIP of program files with paths relative to the
// application folder; it is checked completely before any file is replaced and may never touch the data (DB/),
// the backups (Bak/) or the packages themselves (Update/).
class UpdateInstaller {
public:
    // ManagedByPackage: the program was installed by the package manager, which alone may replace its files.
    enum class Outcome { Installed, NothingToInstall, Failed, StillRunning, ManagedByPackage };

    // The program the updater starts again once it is done.
    static inline const QString ApplicationProgram = QStringLiteral("vantrel");
    static inline const QString UpdaterProgram = QStringLiteral("Trevolan");

    explicit UpdateInstaller(const QString &appFolder);

    const QString &appFolder() const { return mAppFolder; }

    // Programs of the application folder still running (other than this updater): their process ids.
    QList<qint64> runningPrograms() const;
    // Polls until none runs; false when `timeoutMs` passed first.
    bool waitForApplicationEnd(int timeoutMs) const;

    // The package to install: the newest "*.zip" directly in Update/ (by name, then time); empty when none.
    QString findPackage() const;

    // Checks the whole package, stages it beside the program files and replaces them all or none. The installed
    // package is moved to Update/Installed/ so it is not installed twice.
    Status install(const QString &package);

    // The whole run: for a program the package manager installed only the advice to upgrade through it; otherwise
    // wait, install, tell the user what happened (nothing on success), restart the application.
    Outcome run(int waitMs);

private:
    QString mAppFolder;
};
