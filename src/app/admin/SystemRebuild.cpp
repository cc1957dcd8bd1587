#include "app/admin/SystemRebuild.h"

#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

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

bool exec(QSqlDatabase db, const QString &sql) {
    QSqlQuery q(db);
    return q.exec(sql);
}

// False as well when the table cannot be read.
bool isEmptied(QLatin1StringView table) {
    QSqlDatabase db = Database::instance().connection();
    if (!db.isOpen())
        return false;
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT count(*) FROM ") + table) && q.next() && q.value(0).toLongLong() == 0;
}
} // namespace

QStringList SystemRebuild::ListSQL() {
    return {
        QStringLiteral("B_Delete from TDataParaDetail"), QStringLiteral("B_Delete from TDataPara"),
        QStringLiteral("B_Delete from TContractClass"),  QStringLiteral("Delete from TContractDetail"),
        QStringLiteral("Delete from TContractMain"),
    };
}

bool SystemRebuild::ExecAllSQL(const QStringList &statements, int mode) {
    QStringList chosen = chosenStatements(statements, mode);
    // The history of changes describes the contracts being emptied: it goes with them.
    if (chosen.contains(QStringLiteral("Delete from TContractMain")))
        chosen << QStringLiteral("Delete from TChangeLog");
    QSqlDatabase db = Database::instance().connection();
    if (!db.isOpen())
        return false;

    // Categories go before the records that refer to them; inside one transaction the deferred foreign keys are
    // only checked at the commit, when the records are gone too.
    if (db.transaction()) {
        bool all = true;
        for (const QString &sql : chosen) {
            exec(db, QStringLiteral("SAVEPOINT rebuild_step"));
            if (!exec(db, sql)) {
                all = false;
                exec(db, QStringLiteral("ROLLBACK TO rebuild_step"));
            }
            exec(db, QStringLiteral("RELEASE rebuild_step"));
        }
        if (db.commit())
            return all;
        db.rollback();
    }
    // A skipped statement left rows that others still refer to, so the whole did not commit. Statement by
    // statement each delete is checked on its own: what can go, goes, and nothing is left dangling.
    bool all = true;
    for (const QString &sql : chosen)
        all = exec(db, sql) && all;
    return all;
}

void SystemRebuild::ClearFolder(const QString &folder, const std::function<bool(const QString &)> &remove) {
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

bool SystemRebuild::hasHistory() {
    const QString rows = Database::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TChangeLog"));
    return !rows.isEmpty() && rows != QLatin1String("0");
}

bool SystemRebuild::Run(const QStringList &statements, bool basic, const std::function<void()> &closeChildWindows) {
    if (closeChildWindows)
        closeChildWindows();
    const bool allRan = ExecAllSQL(statements, basic ? 1 : 0);
    // A document goes only once the rows that name it are gone: records that stayed keep their documents, and
    // categories that stayed keep their templates.
    const bool recordsGone = isEmptied(QLatin1StringView("TContractMain"));
    const bool categoriesGone = basic && isEmptied(QLatin1StringView("TContractClass"));
    Database &dm = Database::instance();
    // A shared server's documents go with the rows; the local copies of this program are cleared as before.
    bool serverCleared = true;
    if (recordsGone) {
        ClearFolder(dm.path(Database::ContractFolder));
        serverCleared = DocumentStore::removeUnder(Database::ContractFolder) && serverCleared;
    }
    if (categoriesGone) {
        ClearFolder(dm.path(Database::ModelFolder));
        serverCleared = DocumentStore::removeUnder(Database::ModelFolder) && serverCleared;
    }
    return allRan && recordsGone && (!basic || categoriesGone) && serverCleared;
}
