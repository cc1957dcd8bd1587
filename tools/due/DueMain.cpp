// vantrel-due: the due reminders of an application folder as tab-separated lines, for a mail job or a script.
// The same list as the window "到期提醒".

#include "contracts/DueReminders.h"
#include "platform/Clock.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[] = "用法: vantrel-due --folder 文件夹 [--days 天数] [--all] [--today 日期]\n"
                     "  --folder  应用程序的数据文件夹（其中有 DB/ZYDB.dat）\n"
                     "  --days    所有到期提醒的日期都提前这么多天（0 到 365），而不是各指标自己的提前天数\n"
                     "  --all     也列出已经标为“已处理”的提醒\n"
                     "  --today   按这一天（yyyy-MM-dd）计算，而不是今天\n"
                     "每条提醒一行，以制表符分隔：日期(yyyy-MM-dd)、剩余天数（已过为负数）、分类、合同编号、指标、\n"
                     "  填写的日期、合同信息一、合同信息二、合同记录编号、状态（已处理或空）；按日期排列。\n"
                     "无法识别的日期写到标准错误，每份合同和指标一行。\n"
                     "退出码: 0 成功（有没有提醒都一样），1 无法打开或读取数据库，2 参数错误\n";

int usage(QTextStream &err, const QString &problem) {
    err << "vantrel-due: " << problem << "\n" << Usage;
    return 2;
}

// One field of a line: a tab or line break typed into a value must not split the line.
QString field(QString text) {
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString folder;
    QDate today = Clock::instance().now().date();
    DueReminders::Options options;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 < args.size())
                return args.at(++i);
            return std::nullopt;
        };
        if (arg == QLatin1String("--folder")) {
            const std::optional<QString> v = value();
            if (!v || v->isEmpty())
                return usage(err, QStringLiteral("--folder 后面缺少文件夹"));
            folder = *v;
        } else if (arg == QLatin1String("--days")) {
            const std::optional<QString> v = value();
            bool ok = false;
            const int days = v ? v->toInt(&ok) : -1;
            if (!ok || days < 0 || days > DueReminders::MaxDaysAhead)
                return usage(err, QStringLiteral("--days 应为 0 到 %1 之间的天数").arg(DueReminders::MaxDaysAhead));
            options.daysAhead = days;
        } else if (arg == QLatin1String("--all")) {
            options.includeDone = true;
        } else if (arg == QLatin1String("--today")) {
            const std::optional<QString> v = value();
            today = v ? QDate::fromString(*v, Qt::ISODate) : QDate();
            if (!today.isValid())
                return usage(err, QStringLiteral("--today 应为 yyyy-MM-dd 形式的日期"));
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << Usage;
            return 0;
        } else {
            return usage(err, QStringLiteral("不认识的参数 %1").arg(arg));
        }
    }
    if (folder.isEmpty())
        return usage(err, QStringLiteral("缺少 --folder"));
    const QString appFolder = QDir(folder).absolutePath() + QLatin1Char('/');
    if (!QFileInfo::exists(appFolder + Database::DatabaseFile))
        return usage(err, QStringLiteral("%1 中没有数据库 %2").arg(appFolder, Database::DatabaseFile));

    // On a server the client library takes the password from PGPASSWORD or ~/.pgpass.
    const std::unique_ptr<Database> database = Database::open(appFolder);
    Database &dm = *database;
    if (!dm.isConnected()) {
        err << "vantrel-due: 无法打开数据库";
        if (const QString reason = dm.connectionError().trimmed(); !reason.isEmpty())
            err << QStringLiteral("：") << reason;
        err << Qt::endl;
        return 1;
    }
    DueReminders reminders(dm);
    QString error;
    const bool read = reminders.load(today, options, &error);
    if (!read) {
        err << "vantrel-due: 读取数据库发生错误：" << error << Qt::endl;
        return 1;
    }
    for (const DueReminder &r : reminders.due()) {
        out << QStringList{r.date.toString(Qt::ISODate),
                           QString::number(r.daysLeft),
                           field(r.categoryName),
                           field(r.contractNumber),
                           field(r.indicatorName),
                           field(r.dateText),
                           field(r.firstText),
                           field(r.secondText),
                           QString::number(r.contractId),
                           r.done ? QStringLiteral("已处理") : QString()}
                   .join(QLatin1Char('\t'))
            << '\n';
    }
    for (const DueReminder &r : reminders.unreadable()) {
        err << QStringLiteral("无法识别的日期\t") + QStringList{field(r.categoryName), field(r.contractNumber),
                                                                field(r.indicatorName), field(r.dateText),
                                                                QString::number(r.contractId)}
                                                        .join(QLatin1Char('\t'))
            << '\n';
    }
    out.flush();
    err.flush();
    return 0;
}
