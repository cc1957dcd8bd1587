#include "store/AppFolder.h"

#include "store/Database.h"
#include "store/Schema.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {
QString withSlash(const QString &folder) {
    QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (!clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

constexpr QFileDevice::Permissions OwnerFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
constexpr QFileDevice::Permissions OwnerFolder = OwnerFile | QFileDevice::ExeOwner | QFileDevice::ExeUser;

// Copies every file of `source` that `target` lacks, keeping the relative paths.
bool copyMissing(const QString &source, const QString &target, QString *error) {
    if (!QFileInfo(source).isDir())
        return true;
    QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString copy = target + QDir(source).relativeFilePath(file);
        if (QFileInfo::exists(copy))
            continue;
        if (!QDir().mkpath(QFileInfo(copy).absolutePath()) || !QFile::copy(file, copy)) {
            if (error)
                *error = QStringLiteral("cannot copy ") + file + QStringLiteral(" to ") + copy;
            return false;
        }
        // The package's files are read-only and readable by all; the user's copies are his to change, and his alone.
        QFile::setPermissions(copy, OwnerFile);
    }
    return true;
}
} // namespace

QString AppFolder::shareFolder(const QString &programFolder) {
    return withSlash(programFolder + QStringLiteral("/../../share/vantrel"));
}

AppFolder::Mode AppFolder::modeOf(const QString &programFolder) {
    if (QFileInfo::exists(shareFolder(programFolder) + MarkerFile))
        return Mode::Installed;
    return QFileInfo(programFolder).isWritable() ? Mode::Portable : Mode::Installed;
}

QString AppFolder::installedFolder(const QString &dataHome) {
    return withSlash(dataHome + QLatin1Char('/') + DataFolderName);
}

bool AppFolder::layOut(const QString &folder, const QString &share,
                       const std::function<bool(const QString &)> &installDemo, QString *error) {
    const QString root = withSlash(folder);
    const bool fresh = !QFileInfo::exists(root + Database::DatabaseFile);
    // The folder first, so that nothing below it is ever reachable by others, not even while it is laid out.
    if (!QDir().mkpath(root) || !QFile::setPermissions(root, OwnerFolder)) {
        if (error)
            *error = QStringLiteral("cannot create the private folder ") + root;
        return false;
    }
    if (!Schema::layOutAppFolder(root, error))
        return false;
    for (const QString &sub : {QStringLiteral("DB"), QStringLiteral("Bak")})
        QFile::setPermissions(root + sub, OwnerFolder);
    QFile::setPermissions(root + Database::DatabaseFile, OwnerFile);
    const QString source = withSlash(share);
    const QString blank = source + QStringLiteral("Empty.Doc");
    const QString copy = root + Database::EmptyDoc;
    if (!QFileInfo::exists(copy) && QFileInfo::exists(blank)) {
        if (!QFile::copy(blank, copy)) {
            if (error)
                *error = QStringLiteral("cannot copy the blank document to ") + copy;
            return false;
        }
        QFile::setPermissions(copy, OwnerFile);
    }
    for (const QString &sub : {QStringLiteral("Help/"), QStringLiteral("BasicExcel/")}) {
        if (!copyMissing(source + sub, root + sub, error))
            return false;
    }
    // A missing demo is no reason to refuse the start: the user gets an empty database.
    if (fresh && installDemo)
        installDemo(root);
    return true;
}

QString AppFolder::locate(const QString &programFolder) {
    if (modeOf(programFolder) == Mode::Portable)
        return withSlash(programFolder);
    return installedFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString AppFolder::forProgram(const QString &programFolder, QString *error) {
    if (modeOf(programFolder) == Mode::Portable)
        return withSlash(programFolder);
    QString folder = locate(programFolder);
    const QString demo = withSlash(programFolder) + QStringLiteral("vantrel-demo");
    layOut(
        folder, shareFolder(programFolder),
        [&demo](const QString &target) {
            return QFileInfo(demo).isExecutable() && QProcess::execute(demo, {target}) == 0;
        },
        error);
    return folder;
}

void AppFolder::keepNewFilesPrivate() {
    ::umask(S_IRWXG | S_IRWXO);
}
