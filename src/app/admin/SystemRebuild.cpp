#include "SystemRebuild.h"

#include "TDM.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace {
QStringList chosenStatements(const QStringList &statements, int mode)
{
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

bool exec(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    return q.exec(sql);
}
} // namespace

QStringList SystemRebuild::ListSQL()
{
    return {
        QStringLiteral("B_Delete from TDataParaDetail"), QStringLiteral("B_Delete from TDataPara"),
        QStringLiteral("B_Delete from TContractClass"),  QStringLiteral("Delete from TContractDetail"),
        QStringLiteral("Delete from TContractMain"),
    };
}

void SystemRebuild::ExecAllSQL(const QStringList &statements, int mode)
{
    const QStringList chosen = chosenStatements(statements, mode);
    QSqlDatabase db = TDM::instance().ADOLocal();
    if (!db.isOpen())
        return;

    // Categories go before the records that refer to them; inside one transaction the deferred foreign keys are
    // only checked at the commit, when the records are gone too.
    if (db.transaction()) {
        for (const QString &sql : chosen) {
            exec(db, QStringLiteral("SAVEPOINT rebuild_step"));
            if (!exec(db, sql))
                exec(db, QStringLiteral("ROLLBACK TO rebuild_step"));
            exec(db, QStringLiteral("RELEASE rebuild_step"));
        }
        if (db.commit())
            return;
        db.rollback();
    }
    // A skipped statement left rows that others still refer to, so the whole did not commit. Statement by
    // statement each delete is checked on its own: what can go, goes, and nothing is left dangling.
    for (const QString &sql : chosen)
        exec(db, sql);
}

void SystemRebuild::ClearFolder(const QString &folder, const std::function<bool(const QString &)> &remove)
{
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

void SystemRebuild::Run(const QStringList &statements, bool basic, const std::function<void()> &closeChildWindows)
{
    if (closeChildWindows)
        closeChildWindows();
    ExecAllSQL(statements, basic ? 1 : 0);
    TDM &dm = TDM::instance();
    ClearFolder(dm.path(TDM::ContractFolder));
    if (basic)
        ClearFolder(dm.path(TDM::ModelFolder));
}
