#include "app/admin/AdminCommands.h"

#include "app/admin/DatabaseBackup.h"
#include "app/admin/DatabaseFiles.h"
#include "app/admin/DatabaseRestore.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/Shell.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>

#include <optional>

namespace {
// File dialog filters are kept in the "description|pattern" form; Qt reads "description (pattern)" and shows
// the description alone when it already names the pattern.
QString qtFilter(const QString &filter) {
    QString description = filter.section(QLatin1Char('|'), 0, 0);
    const QString pattern = filter.section(QLatin1Char('|'), 1, 1);
    if (pattern.isEmpty() || description.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

// Name, size and time of every file below `folder`: equal maps mean nothing was moved, replaced or written.
QMap<QString, QString> fileStates(const QString &folder) {
    QMap<QString, QString> states;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        states.insert(root.relativeFilePath(info.filePath()),
                      QString::number(info.size()) + QLatin1Char('@') +
                          QString::number(info.lastModified().toMSecsSinceEpoch()));
    }
    return states;
}

struct SafetyBackup {
    QString archive; // empty when there was no database to keep
    bool madeFolder = false;
};

// Packs the current DB into Bak/ under a name with the date and time; nothing on failure.
std::optional<SafetyBackup> writeSafetyBackup(Database &database, QString *error, QString *unfitName) {
    SafetyBackup made;
    const QString folder = database.appFolder();
    const bool server = database.backend() == Database::Backend::Server;
    if (!server && !QFileInfo::exists(folder + QStringLiteral("DB/") + DatabaseFiles::Database))
        return made;
    const QString bak = folder + QStringLiteral("Bak");
    made.madeFolder = !QFileInfo(bak).isDir();
    if (!QDir().mkpath(bak)) {
        *error = QStringLiteral("cannot create ") + bak;
        return std::nullopt;
    }
    const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    made.archive = bak + QStringLiteral("/恢复前自动备份_") + stamp + QStringLiteral(".HTBK");
    for (int n = 2; QFileInfo::exists(made.archive); ++n)
        made.archive = bak + QStringLiteral("/恢复前自动备份_%1_%2.HTBK").arg(stamp).arg(n);
    const bool ok = DatabaseBackup::write(database, made.archive, error, unfitName);
    if (!ok) {
        if (made.madeFolder)
            QDir().rmdir(bak);
        return std::nullopt;
    }
    return made;
}

void removeSafetyBackup(const SafetyBackup &made) {
    QFile::remove(made.archive);
    if (made.madeFolder)
        QDir().rmdir(QFileInfo(made.archive).absolutePath());
}

QString unfitNameText(const QString &name) {
    return QStringLiteral("文档“%1”的名称不能放入备份文件（名称中不能有反斜杠、控制字符或空的、“.”、“..”的路径部分，"
                          "且只能是DB文件夹中ModelFiles或ContractFile下的文档）。请先改正或移走该文档。")
        .arg(QDir::toNativeSeparators(name));
}

const QString RestoreFailed =
    QStringLiteral("数据文件还原失败，确认选择的文件是本系统自动升级文件，或该自动升级文件已损坏！");
const QString WillEnd = QStringLiteral("软件将关闭，请手工重新启动系统。");

// What the user is told after a restore that did not complete: what was restored, what was not, and where the data
// from before the restore is kept.
QString restoreFailureText(const DatabaseRestore::Outcome &outcome, const QString &safetyArchive) {
    QStringList lines{RestoreFailed};
    if (!outcome.refusedEntry.isEmpty())
        lines << QStringLiteral("备份文件中的“%1”不属于合同数据（备份只能包含数据库、Empty.Doc、模板文档和合同文档），"
                                "数据没有还原。")
                     .arg(QDir::toNativeSeparators(outcome.refusedEntry));
    using Server = DatabaseRestore::Outcome::Server;
    if (outcome.server == Server::Unknown)
        lines << QStringLiteral("提交时与数据库服务器的连接中断，无法确定服务器上的数据和文档是否已经还原。") +
                     QStringLiteral("本机DB文件夹中的文件已按备份还原。");
    else if (!outcome.localUnchanged)
        lines << QStringLiteral("本机DB文件夹中的部分文件未能恢复原状") +
                     (outcome.server == Server::Untouched ? QStringLiteral("（服务器上的数据没有改变）") : QString()) +
                     (outcome.leftoverFolder.isEmpty() ? QStringLiteral("。")
                                                       : QStringLiteral("，原来的文件保存在“%1”。")
                                                             .arg(QDir::toNativeSeparators(outcome.leftoverFolder)));
    if (!safetyArchive.isEmpty() && (outcome.server == Server::Unknown || !outcome.localUnchanged))
        lines << QStringLiteral("还原前的数据已备份在“%1”，可用“数据库还原”恢复。")
                     .arg(QDir::toNativeSeparators(safetyArchive));
    lines << WillEnd;
    return lines.join(QLatin1Char('\n'));
}
} // namespace

void BackupDatabase(Database &dm) {
    Messages &messages = Messages::instance();
    const QString proposed = DatabaseBackup::proposedArchivePath(dm.appFolder(), Clock::instance().now().date());
    QString file = messages.saveFileName(QStringLiteral(" 存储合同生成数据库"), proposed,
                                         qtFilter(QStringLiteral("合同生成数据库备份(*.HTBK)|*.HTBK")));
    if (file.isEmpty())
        return;
    // The dialog confirmed overwriting the name as typed; a name that only gets its extension now is asked anew.
    if (QFileInfo(file).suffix().isEmpty()) {
        file += QStringLiteral(".HTBK");
        if (QFileInfo::exists(file) &&
            !messages.question(QStringLiteral("文件“%1”已经存在，是否替换？").arg(QFileInfo(file).fileName())))
            return;
    }
    QString error;
    QString unfitName;
    if (DatabaseBackup::write(dm, file, &error, &unfitName))
        messages.information(QStringLiteral("数据文件备份成功！"));
    else if (!unfitName.isEmpty())
        messages.warning(QStringLiteral("备份文件发生错误，备份没有完成！\n") + unfitNameText(unfitName));
    else
        messages.warning(QStringLiteral("备份文件发生错误，确认目标位置可写入！"));
}

void RestoreDatabase(Database &database, const std::function<bool()> &adminCheck,
                     const std::function<void()> &endProcess, const QString &archive) {
    if (adminCheck && !adminCheck())
        return;
    Messages &messages = Messages::instance();
    const QString folder = database.appFolder();
    // The shared server's data is every user's: replacing it is said as such before anything is chosen or done.
    const bool server = database.backend() == Database::Backend::Server;
    if (server &&
        !messages.question(QStringLiteral("服务器上的数据由所有用户共用。还原将用备份文件中的数据替换服务器上"
                                          "的全部数据和文档，其他用户正在编辑的内容可能无法保存。\n是否继续？")))
        return;
    QString file = archive;
    if (file.isEmpty()) {
        file = messages.openFileName(QStringLiteral("选择合同生成数据备份文件"), folder + QStringLiteral("Bak"),
                                     qtFilter(QStringLiteral("合同生成系统备份(*.HTBK)|*.HTBK")));
    } else if (!server &&
               !messages.question(QStringLiteral("是否用备份文件“%1”还原数据？\n现有的数据将被备份中的数据替换。")
                                      .arg(QFileInfo(file).fileName()))) {
        return;
    }
    if (file.isEmpty())
        return;
    // An archive picked by mistake would otherwise replace the data for good: the current state goes into Bak/
    // first, while the connection can still take a consistent copy. Without that copy nothing is replaced.
    QString safetyError;
    QString unfitName;
    const std::optional<SafetyBackup> safety = writeSafetyBackup(database, &safetyError, &unfitName);
    if (!safety) {
        messages.warning(QStringLiteral("还原前未能备份当前数据，数据没有还原！\n") +
                         (unfitName.isEmpty() ? QStringLiteral("请确认备份文件夹“%1”可写入且磁盘空间足够。")
                                                    .arg(QDir::toNativeSeparators(folder + QStringLiteral("Bak")))
                                              : unfitNameText(unfitName)));
        return;
    }
    const QMap<QString, QString> before = fileStates(folder + QStringLiteral("DB"));
    bool restored = false;
    DatabaseRestore::Outcome outcome;
    if (server) {
        // The server's data is replaced in one transaction, committed after the local files are in place.
        restored = DatabaseRestore::restoreIntoServer(file, database, nullptr, &outcome);
        database.close();
    } else {
        database.close();
        restored = DatabaseRestore::restore(file, folder, nullptr, &outcome);
    }
    // A restore that left the server and DB as they were needs no copy of them; one that may have changed
    // anything keeps it.
    if (!restored && !safety->archive.isEmpty() && outcome.server == DatabaseRestore::Outcome::Server::Untouched &&
        outcome.localUnchanged && fileStates(folder + QStringLiteral("DB")) == before)
        removeSafetyBackup(*safety);
    if (restored && outcome.keptCopies.isEmpty())
        messages.information(QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。"));
    else if (restored)
        messages.information(
            QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。\n本机与服务器上不同的文档副本"
                           "已保留在Bak文件夹中：\n") +
            QDir::toNativeSeparators(outcome.keptCopies.join(QLatin1Char('\n'))));
    else
        messages.warning(restoreFailureText(outcome, safety->archive));
    if (endProcess)
        endProcess();
}

QList<QPair<QString, QString>> SampleSites() {
    return {
        {QStringLiteral("合同范本-律师365网络(文本)"), QStringLiteral("https://www.64365.com/contract/")},
        {QStringLiteral("合同范本-华律网(文本)"), QStringLiteral("https://www.66law.cn/contractmodel/")},
        {QStringLiteral("合同范本-法邦网(文本-需要注册登陆)"), QStringLiteral("https://www.fabang.com/")},
        {QStringLiteral("合同范本-管理资源吧(多为Word文档)"), QStringLiteral("https://www.glzy8.com/")},
        {QStringLiteral("合同范本- 精品资料网(多为Word文档)"), QStringLiteral("https://www.cnshu.cn/")},
        {QStringLiteral("合同范本-中国企管网(多为Word文档)"), QStringLiteral("https://www.qg68.cn/")},
        {QStringLiteral("合同范本-中华励志网(多为Word文档)"), QStringLiteral("https://www.zhlzw.com/")},
    };
}

void OpenSampleSite(int index) {
    const auto sites = SampleSites();
    if (index >= 0 && index < sites.size())
        Shell::instance().openPage(sites.at(index).second);
}

void StartUpdater() {
    // The updater lives beside the program, which for an installed program is not the data folder.
    Shell::instance().startProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/Trevolan"));
}

QString ProductWebAddress() {
    return QStringLiteral("https://vantrel.example.com/");
}
