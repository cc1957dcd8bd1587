#include "updater/UpdateInstaller.h"

#include "archive/StagedReplacement.h"
#include "archive/ZipArchiveReader.h"
#include "platform/Messages.h"
#include "platform/Shell.h"
#include "store/AppFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

namespace {
// Top folders a package may not write into: the user's data, his backups and the packages.
bool isProtected(const QString &entry) {
    const QString top = entry.section(QLatin1Char('/'), 0, 0);
    for (const char *name : {"DB", "Bak", "Update"}) {
        if (top.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

UpdateInstaller::UpdateInstaller(const QString &appFolder)
    : mAppFolder(QDir(appFolder).absolutePath() + QLatin1Char('/')) {}

QList<qint64> UpdateInstaller::runningPrograms() const {
    QList<qint64> pids;
    const QString folder = QDir(mAppFolder).canonicalPath();
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        QString exe = QFileInfo(QStringLiteral("/proc/") + entry + QStringLiteral("/exe")).symLinkTarget();
        if (exe.isEmpty())
            continue;
        // A program whose file was replaced while it runs still counts.
        if (exe.endsWith(QLatin1String(" (deleted)")))
            exe.chop(10);
        const QFileInfo info(exe);
        if (info.absolutePath() == folder && info.fileName() != UpdaterProgram)
            pids << pid;
    }
    return pids;
}

bool UpdateInstaller::waitForApplicationEnd(int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    while (!runningPrograms().isEmpty()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}

QString UpdateInstaller::findPackage() const {
    QDir update(mAppFolder + QStringLiteral("Update"));
    const QFileInfoList packages =
        update.entryInfoList({QStringLiteral("*.zip"), QStringLiteral("*.ZIP")}, QDir::Files, QDir::Name);
    if (packages.isEmpty())
        return {};
    QFileInfo newest = packages.first();
    for (const QFileInfo &info : packages) {
        if (info.lastModified() > newest.lastModified() ||
            (info.lastModified() == newest.lastModified() && info.fileName() > newest.fileName()))
            newest = info;
    }
    return newest.absoluteFilePath();
}

Status UpdateInstaller::install(const QString &package) {
    ZipArchiveReader reader;
    if (Status opened = reader.open(package); !opened)
        return opened;
    bool anyFile = false;
    for (const ZipArchiveReader::Entry &entry : reader.entries()) {
        if (isProtected(entry.name))
            return Status::failure(QStringLiteral("the package writes into a protected folder: ") + entry.name);
        anyFile = anyFile || !entry.isFolder;
    }
    if (!anyFile)
        return Status::failure(QStringLiteral("the package holds no file"));

    QTemporaryDir staging(mAppFolder + QStringLiteral(".update-XXXXXX"));
    QTemporaryDir undo(mAppFolder + QStringLiteral(".update-undo-XXXXXX"));
    if (!staging.isValid() || !undo.isValid())
        return Status::failure(QStringLiteral("cannot create a staging folder in ") + mAppFolder);
    const Result<QStringList> files = reader.extractTo(staging.path());
    reader.close();
    if (!files)
        return Status::failure(files.error);

    StagedReplacement replacement(staging.path(), mAppFolder, undo.path());
    if (Status replaced = replacement.apply(files.value); !replaced) {
        QDirIterator left(undo.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        if (left.hasNext())
            undo.setAutoRemove(false);
        return replaced;
    }

    const QString installed = mAppFolder + QStringLiteral("Update/Installed/");
    QDir().mkpath(installed);
    const QString done = installed + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss-")) +
                         QFileInfo(package).fileName();
    if (!QFile::rename(package, done))
        QFile::remove(package);
    return Status::success();
}

UpdateInstaller::Outcome UpdateInstaller::run(int waitMs) {
    if (AppFolder::modeOf(mAppFolder) == AppFolder::Mode::Installed) {
        Messages::instance().information(
            QStringLiteral("本系统由软件包管理器安装，不能在这里升级。\n"
                           "请通过软件包管理器安装新版本，例如：sudo apt install ./vantrel_新版本_amd64.deb"));
        Shell::instance().startProgram(mAppFolder + ApplicationProgram);
        return Outcome::ManagedByPackage;
    }
    if (!waitForApplicationEnd(waitMs)) {
        Messages::instance().warning(
            QStringLiteral("合同生成系统仍在运行，无法升级。\n请先关闭系统，再重新运行升级程序。"));
        return Outcome::StillRunning;
    }
    Outcome outcome = Outcome::Installed;
    const QString package = findPackage();
    if (package.isEmpty()) {
        outcome = Outcome::NothingToInstall;
        Messages::instance().information(QStringLiteral("没有找到可以安装的升级包，系统无需升级。\n"
                                                        "升级包（*.zip）应放在程序目录下的 Update 文件夹中。"));
    } else if (const Status installed = install(package); !installed) {
        outcome = Outcome::Failed;
        Messages::instance().warning(QStringLiteral("升级包已损坏或不是本系统的升级包，未作任何改动。\n") +
                                     installed.error);
    }
    Shell::instance().startProgram(mAppFolder + ApplicationProgram);
    return outcome;
}
