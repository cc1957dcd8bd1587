#include "AdminCommands.h"

#include "Clock.h"
#include "DatabaseBackup.h"
#include "DatabaseRestore.h"
#include "Messages.h"
#include "Shell.h"
#include "TDM.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
// File dialog filters are kept in the "description|pattern" form; Qt reads "description (pattern)" and shows
// the description alone when it already names the pattern.
QString qtFilter(const QString &filter)
{
    QString description = filter.section(QLatin1Char('|'), 0, 0);
    const QString pattern = filter.section(QLatin1Char('|'), 1, 1);
    if (pattern.isEmpty() || description.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

QString appFolder()
{
    if (TDM::exists())
        return TDM::instance().appFolder();
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}
} // namespace

void BackupDatabase()
{
    Messages &messages = Messages::instance();
    TDM &dm = TDM::instance();
    const QString proposed = DatabaseBackup::proposedArchivePath(dm.appFolder(), Clock::instance().now().date());
    QString file = messages.saveFileName(QStringLiteral(" 存储合同生成数据库"), proposed,
                                         qtFilter(QStringLiteral("合同生成数据库备份(*.HTBK)|*.HTBK")));
    if (file.isEmpty())
        return;
    // The dialog confirmed overwriting the name as typed; a name that only gets its extension now is asked anew.
    if (QFileInfo(file).suffix().isEmpty()) {
        file += QStringLiteral(".HTBK");
        if (QFileInfo::exists(file)
            && !messages.question(QStringLiteral("文件“%1”已经存在，是否替换？").arg(QFileInfo(file).fileName())))
            return;
    }
    if (DatabaseBackup::write(dm, file))
        messages.information(QStringLiteral("数据文件备份成功！"));
    else
        messages.warning(QStringLiteral("备份文件发生错误，确认目标位置可写入！"));
}

void RestoreDatabase(const std::function<bool()> &adminCheck, const std::function<void()> &endProcess,
                     const QString &archive)
{
    if (adminCheck && !adminCheck())
        return;
    Messages &messages = Messages::instance();
    const QString folder = appFolder();
    QString file = archive;
    if (file.isEmpty()) {
        file = messages.openFileName(QStringLiteral("选择合同生成数据备份文件"), folder + QStringLiteral("Bak"),
                                     qtFilter(QStringLiteral("合同生成系统备份(*.HTBK)|*.HTBK")));
    } else if (!messages.question(QStringLiteral("是否用备份文件“%1”还原数据？\n现有的数据将被备份中的数据替换。")
                                      .arg(QFileInfo(file).fileName()))) {
        return;
    }
    if (file.isEmpty())
        return;
    if (TDM::exists())
        TDM::instance().close();
    if (DatabaseRestore::restore(file, folder))
        messages.information(QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。"));
    else
        messages.warning(QStringLiteral("数据文件还原失败，确认选择的文件是本系统自动升级文件，或该自动升级文件已损坏！\n"
                                        "软件将关闭，请手工重新启动系统。"));
    if (endProcess)
        endProcess();
}

void OpenHelpPage()
{
    Shell::instance().openPage(appFolder() + QStringLiteral("Help/ContractPHelp.htm"));
}

void OpenTutorialPage()
{
    Shell::instance().openPage(appFolder() + QStringLiteral("Help/contract.htm"));
}

QList<QPair<QString, QString>> SampleSites()
{
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

void OpenSampleSite(int index)
{
    const auto sites = SampleSites();
    if (index >= 0 && index < sites.size())
        Shell::instance().openPage(sites.at(index).second);
}

void StartUpdater()
{
    // The updater lives beside the program, which for an installed program is not the data folder.
    Shell::instance().startProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/Trevolan"));
}

QString ProductWebAddress()
{
    return QStringLiteral("https://vantrel.example.com/");
}
