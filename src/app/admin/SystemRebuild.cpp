#include "app/admin/SystemRebuild.h"

#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/StoreMaintenance.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {
QStringList chosenStatements(const QStringList &statements, int mode) {
    QStringList chosen;
    for (const QString &text : statements) {
        if (text.startsWith(QLatin1String("B_"))) {
            if (mode == 1)
                chosen << text.mid(2);
        } else {
            chosen << text;
        }
    }
    return chosen;
}

} // namespace

QStringList SystemRebuild::rebuildStatements() {
    return StoreMaintenance::rebuildStatements();
}

bool SystemRebuild::runStatements(Database &database, const QStringList &statements, int mode) {
    return StoreMaintenance::runRebuildStatements(database.connection(), chosenStatements(statements, mode));
}

void SystemRebuild::clearFolder(const QString &folder, const std::function<bool(const QString &)> &remove) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    // The mode bits, not WriteUser: that one asks the system, which lets an administrator write anything.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    while (it.hasNext()) {
        const QString file = it.next();
        const QFileInfo info(file);
        // A document the user made read-only is one he wants to keep.
        if (!info.isSymLink() && !(info.permissions() & anyWrite))
            continue;
        if (remove)
            remove(file);
        else
            QFile::remove(file);
    }
}

bool SystemRebuild::hasHistory(Database &database) {
    return StoreMaintenance::hasHistory(database);
}

bool SystemRebuild::run(Database &database, const QStringList &statements, bool basic,
                        const std::function<void()> &closeChildWindows) {
    if (closeChildWindows)
        closeChildWindows();
    const bool allRan = runStatements(database, statements, basic ? 1 : 0);
    // A document goes only once the rows that name it are gone: records that stayed keep their documents, and
    // categories that stayed keep their templates.
    const bool recordsGone = StoreMaintenance::isEmpty(database.connection(), QStringLiteral("TContractMain"));
    const bool categoriesGone =
        basic && StoreMaintenance::isEmpty(database.connection(), QStringLiteral("TContractClass"));
    Database &dm = database;
    // A shared server's documents go with the rows; the local copies of this program are cleared as before.
    bool serverCleared = true;
    if (recordsGone) {
        clearFolder(dm.path(Database::ContractFolder));
        serverCleared = DocumentStore::removeUnder(Database::ContractFolder) && serverCleared;
    }
    if (categoriesGone) {
        clearFolder(dm.path(Database::ModelFolder));
        serverCleared = DocumentStore::removeUnder(Database::ModelFolder) && serverCleared;
    }
    return allRan && recordsGone && (!basic || categoriesGone) && serverCleared;
}
