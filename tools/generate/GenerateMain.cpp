// vantrel-generate: contract documents of a category from the command line, headless, on an application folder.
// The same generation as the register's "批量生成合同文档".

#include "documents/BatchGeneration.h"
#include "documents/DocumentPaths.h"
#include "office/LibreOfficeWordApp.h"
#include "package/PackageTemplate.h"
#include "store/AppFolder.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/ServerSettings.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTextStream>

namespace {

const char Usage[] = "用法: vantrel-generate --folder 文件夹 --category 类别编号 (--records 1,5,9 | --all)\n"
                     "                       [--pdf] [--out 文件夹] [--regenerate] [--verbose]\n"
                     "  --folder      应用程序的数据文件夹（其中有 DB/ZYDB.dat）\n"
                     "  --category    合同类别的编号，例如 00010001\n"
                     "  --records     逗号分隔的合同记录编号；--all 为该类别的全部合同\n"
                     "  --pdf         同时在合同文档旁边导出 PDF 文件\n"
                     "  --out         输出到这个文件夹，而不是 DB/ContractFile\n"
                     "  --regenerate  已有的合同文档重新生成（不加时跳过；加 --pdf 时仍从已有的文档导出 PDF）\n"
                     "  --verbose     最后列出各步骤所用的时间\n"
                     "数据库在服务器上时（DB/Server.ini），服务器的密码由 PostgreSQL 的客户端库取得：\n"
                     "  环境变量 PGPASSWORD，或 ~/.pgpass 文件（另一位置可由 PGPASSFILE 指定）中的一行\n"
                     "  主机:端口:数据库:用户:密码；两处都没有而服务器要求密码时，以退出码 1 结束\n"
                     "退出码: 0 全部成功，1 有合同没有生成或 PDF 没有导出（列在输出中）或无法连接数据库，2 参数错误\n"
                     "\n"
                     "       vantrel-generate --folder 文件夹 --verify 合同文档...\n"
                     "  --verify      检查合同文档是否与本程序最后一次写入时相同，输出每个文档的结果、\n"
                     "                写入时间和用户（制表符分隔）\n"
                     "退出码: 0 全部未修改，1 有文档被修改、没有写入记录或无法读取，2 参数错误\n";

int usage(QTextStream &err, const QString &problem) {
    err << "vantrel-generate: " << problem << "\n" << Usage;
    return 2;
}

// One line per document: the file, 未修改 / 已修改 / 无写入记录 / 无法读取, and the program's last write of it.
int verify(const QStringList &files, QTextStream &out) {
    int notSame = 0;
    for (const QString &file : files) {
        const ChangeHistory::DocumentCheck check = ChangeHistory::checkDocument(QFileInfo(file).absoluteFilePath());
        QString outcome;
        switch (check.outcome) {
        case ChangeHistory::DocumentCheck::Outcome::Unchanged:
            outcome = QStringLiteral("未修改");
            break;
        case ChangeHistory::DocumentCheck::Outcome::Changed:
            outcome = QStringLiteral("已修改");
            break;
        case ChangeHistory::DocumentCheck::Outcome::NeverWritten:
            outcome = QStringLiteral("无写入记录");
            break;
        case ChangeHistory::DocumentCheck::Outcome::Missing:
            outcome = QStringLiteral("无法读取");
            break;
        }
        if (check.outcome != ChangeHistory::DocumentCheck::Outcome::Unchanged)
            ++notSame;
        QStringList line{file, outcome};
        if (check.lastWrite)
            line << check.lastWrite->time << check.lastWrite->osUser << check.lastWrite->dbUser
                 << check.lastWrite->action;
        out << line.join(QLatin1Char('\t')) << Qt::endl;
    }
    return notSame == 0 ? 0 : 1;
}

// The program asks no one for the server's password: the client library takes it from PGPASSWORD or ~/.pgpass.
// True when the server wants a password and neither gave one.
bool serverPasswordMissing(const ServerSettings &settings) {
    const QByteArray host = settings.host.toUtf8();
    const QByteArray port = QByteArray::number(settings.port);
    const QByteArray database = settings.database.toUtf8();
    const QByteArray user = settings.user.toUtf8();
    // Encrypted as the program's own connection is: the password given must not cross the network in plain text.
    const QByteArray sslMode = ServerSettings::sslMode(settings.encryption).toUtf8();
    const QByteArray rootCertificate = QFile::encodeName(settings.rootCertificate);
    const bool verify = settings.encryption == ServerSettings::Encryption::VerifyServer;
    const char *const keys[] = {
        "host", "port", "dbname", "user", "connect_timeout", "sslmode", verify ? "sslrootcert" : nullptr, nullptr};
    const char *const values[] = {host.constData(),
                                  port.constData(),
                                  database.constData(),
                                  user.constData(),
                                  "5",
                                  sslMode.constData(),
                                  rootCertificate.constData(),
                                  nullptr};
    PGconn *connection = PQconnectdbParams(keys, values, 0);
    const bool missing =
        connection && PQstatus(connection) == CONNECTION_BAD && PQconnectionNeedsPassword(connection) != 0;
    PQfinish(connection);
    return missing;
}

QString ms(double value) {
    return QString::number(value, 'f', 0);
}

} // namespace

int main(int argc, char *argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QCoreApplication app(argc, argv);
    AppFolder::keepNewFilesPrivate();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString folder;
    QString category;
    QString records;
    bool all = false;
    QStringList verifyFiles;
    bool verifying = false;
    bool verbose = false;
    BatchGeneration::Options options;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto value = [&]() -> QString { return i + 1 < args.size() ? args.at(++i) : QString(); };
        if (arg == QLatin1String("--folder"))
            folder = value();
        else if (arg == QLatin1String("--category"))
            category = value();
        else if (arg == QLatin1String("--records"))
            records = value();
        else if (arg == QLatin1String("--all"))
            all = true;
        else if (arg == QLatin1String("--pdf"))
            options.pdf = true;
        else if (arg == QLatin1String("--regenerate"))
            options.regenerate = true;
        else if (arg == QLatin1String("--verbose"))
            verbose = true;
        else if (arg == QLatin1String("--out"))
            options.folder = value();
        else if (arg == QLatin1String("--verify"))
            verifying = true;
        else if (verifying && !arg.startsWith(QLatin1String("--")))
            verifyFiles << arg;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << Usage;
            return 0;
        } else
            return usage(err, QStringLiteral("不认识的参数 %1").arg(arg));
    }
    if (verifying) {
        if (folder.isEmpty() || verifyFiles.isEmpty() || !category.isEmpty() || all || !records.isEmpty())
            return usage(err, QStringLiteral("--verify 需要 --folder 和至少一个合同文档，不能与生成的参数同用"));
    } else {
        if (folder.isEmpty() || category.isEmpty())
            return usage(err, QStringLiteral("缺少 --folder 或 --category"));
        if (all == !records.isEmpty())
            return usage(err, QStringLiteral("请给出 --records 或 --all 之一"));
    }
    QList<int> ids;
    for (const QString &part : records.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.trimmed().toInt(&ok);
        if (!ok || id <= 0)
            return usage(err, QStringLiteral("合同记录编号不正确：%1").arg(part));
        ids << id;
    }
    const QString appFolder = QDir(folder).absolutePath() + QLatin1Char('/');
    if (!QFileInfo::exists(appFolder + Database::DatabaseFile))
        return usage(err, QStringLiteral("%1 中没有数据库 %2").arg(appFolder, Database::DatabaseFile));
    if (!options.folder.isEmpty())
        options.folder = QDir(options.folder).absolutePath();

    const std::unique_ptr<Database> database = Database::open(appFolder);
    Database &dm = *database;
    if (!dm.isConnected()) {
        const std::optional<ServerSettings> server = ServerSettings::read(appFolder);
        if (server && serverPasswordMissing(*server)) {
            err << QStringLiteral("vantrel-generate: 数据库服务器 %1 要求密码，但没有给出。请用环境变量 PGPASSWORD "
                                  "或 ~/.pgpass 文件给出用户 %2 的密码。")
                       .arg(server->host, server->user)
                << Qt::endl;
        } else {
            err << "vantrel-generate: 无法打开数据库";
            if (const QString reason = dm.connectionError().trimmed(); !reason.isEmpty())
                err << QStringLiteral("：") << reason;
            err << Qt::endl;
        }
        return 1;
    }
    if (verifying) {
        return verify(verifyFiles, out);
    }
    QSqlQuery query(dm.connection());
    if (!execBound(query,
                   QStringLiteral("Select TypeName, coalesce(ParTypeCode,'') from TContractClass where TypeCode=?"),
                   {category}) ||
        !query.next()) {
        return usage(err, QStringLiteral("没有编号为 %1 的合同类别").arg(category));
    }
    const QString categoryName = query.value(0).toString();
    const bool rootCategory = query.value(1).toString().isEmpty();
    // Records of the category only: a number of another category's record is listed as failed, never generated.
    QList<int> ofCategory;
    if (execBound(query, QStringLiteral("Select ID from TContractMain where MainTypeCode=? order by ID"), {category})) {
        while (query.next())
            ofCategory << query.value(0).toInt();
    }
    if (all)
        ids = ofCategory;
    // Said instead of finishing without a word.
    if (rootCategory && ofCategory.isEmpty()) {
        QStringList children;
        if (execBound(query,
                      QStringLiteral("Select TypeCode from TContractClass where ParTypeCode=? order by TypeCode"),
                      {category})) {
            while (query.next())
                children << query.value(0).toString();
        }
        err << QStringLiteral("类别 %1（%2）是一级分类，其中没有合同，合同在它下面的类别中%3")
                   .arg(category, categoryName,
                        children.isEmpty()
                            ? QStringLiteral("。")
                            : QStringLiteral("：") + children.join(QStringLiteral("、")) + QStringLiteral("。"))
            << Qt::endl;
    } else if (ofCategory.isEmpty()) {
        err << QStringLiteral("类别 %1（%2）中没有合同。").arg(category, categoryName) << Qt::endl;
    }
    // A record named twice is made and listed once.
    QList<int> unique;
    for (const int id : std::as_const(ids)) {
        if (!unique.contains(id))
            unique << id;
    }
    ids = unique;

    // Numbers of another category's records are listed as failed, never generated.
    QList<int> toMake;
    for (int id : std::as_const(ids)) {
        if (ofCategory.contains(id))
            toMake << id;
    }
    const double startMs = double(sinceStart.nsecsElapsed()) / 1e6;
    // A .docx/.odt template without PDFs is filled in the program alone: a worker for each core, no office.
    const bool withoutOffice = !options.pdf && PackageTemplate::formatOf(DocumentPaths::existingTemplate(category)) !=
                                                   PackageTemplate::Format::None;
    BatchGeneration::Timing timing;
    const QList<BatchGeneration::Result> made = BatchGeneration::runAll(
        dm, toMake, options,
        [] {
            auto word = std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless);
            word->setQuickSave(true);
            return word;
        },
        withoutOffice ? BatchGeneration::workersWithoutOffice() : BatchGeneration::defaultWorkers(),
        [&, shown = 0](const BatchGeneration::Step &step) mutable {
            if (step.begun != shown) {
                shown = step.begun;
                err << QStringLiteral("正在生成 %1 / %2：%3").arg(step.begun).arg(toMake.size()).arg(step.recordId)
                    << Qt::endl;
            }
            return true;
        },
        &timing);
    int failed = 0;
    int nextMade = 0;
    QList<BatchGeneration::Result> listed;
    for (const int id : std::as_const(ids)) {
        BatchGeneration::Result result;
        if (ofCategory.contains(id) && nextMade < made.size()) {
            result = made.at(nextMade++);
        } else {
            result.recordId = id;
            result.reason = QStringLiteral("该类别中没有这份合同");
        }
        listed << result;
        // A PDF asked for and not written is said on the document's line and counts as a failure.
        const QString noPdf = result.pdfError.isEmpty() || result.kind == BatchGeneration::Result::Kind::Failed
                                  ? QString()
                                  : QStringLiteral("；没有导出PDF文件：") + result.pdfError;
        if (!noPdf.isEmpty())
            ++failed;
        switch (result.kind) {
        case BatchGeneration::Result::Kind::Generated:
            out << QStringLiteral("%1\t已生成\t%2").arg(id).arg(QDir::toNativeSeparators(result.document)) << noPdf
                << Qt::endl;
            break;
        case BatchGeneration::Result::Kind::Skipped:
            out << QStringLiteral("%1\t跳过\t%2").arg(id).arg(result.reason);
            if (!result.pdf.isEmpty())
                out << QStringLiteral("，已从这份文档导出PDF文件 %1").arg(QDir::toNativeSeparators(result.pdf));
            out << noPdf << Qt::endl;
            break;
        case BatchGeneration::Result::Kind::Failed:
            ++failed;
            out << QStringLiteral("%1\t失败\t%2").arg(id).arg(result.reason) << Qt::endl;
            break;
        }
    }
    if (const QStringList unfilled = BatchGeneration::unfilledMarkers(made); !unfilled.isEmpty())
        err << QStringLiteral("模板中以下标记没有对应的指标，在文档中没有填写：") << unfilled.join(QStringLiteral("、"))
            << Qt::endl;
    if (const QStringList problems = BatchGeneration::clauseProblems(made); !problems.isEmpty())
        err << QStringLiteral("模板中的条件段落有以下问题：") << Qt::endl
            << problems.join(QLatin1Char('\n')) << Qt::endl;
    // The counts, PDFs among them, as the window's summary gives them.
    if (!listed.isEmpty()) {
        const QStringList summary = BatchGeneration::summary(listed).split(QLatin1Char('\n'));
        err << summary.first() << Qt::endl;
        if (summary.size() > 1 && summary.at(1).startsWith(QStringLiteral("已导出PDF文件")))
            err << summary.at(1) << Qt::endl;
    }
    if (verbose) {
        double makeMs = 0;
        double pdfMs = 0;
        for (const BatchGeneration::Result &result : made) {
            makeMs += result.makeMs;
            pdfMs += result.pdfMs;
        }
        const QString each = made.isEmpty() ? QStringLiteral("0") : QString::number(makeMs / made.size(), 'f', 1);
        err << QStringLiteral("用时（毫秒）：") << Qt::endl
            << QStringLiteral("  启动并打开数据库、查找合同 %1").arg(ms(startMs)) << Qt::endl
            << QStringLiteral("  读取 %1 份合同记录及其指标 %2").arg(made.size()).arg(ms(timing.readMs)) << Qt::endl
            << QStringLiteral("  读取 .docx/.odt 模板 %1").arg(ms(timing.templatesMs)) << Qt::endl;
        if (options.pdf)
            err << QStringLiteral("  启动 %1 个办公软件 %2（合计）").arg(timing.workers).arg(ms(timing.officeStartMs))
                << Qt::endl;
        err << QStringLiteral("  生成文档 %1（%2 个线程同时进行；每份平均 %3，合计 %4）")
                   .arg(ms(timing.makeMs))
                   .arg(timing.workers)
                   .arg(each, ms(makeMs))
            << Qt::endl;
        if (options.pdf)
            err << QStringLiteral("  其中导出PDF文件 %1（合计）").arg(ms(pdfMs)) << Qt::endl;
    }
    if (verbose)
        err << QStringLiteral("  全部 %1").arg(ms(double(sinceStart.nsecsElapsed()) / 1e6)) << Qt::endl;
    return failed == 0 ? 0 : 1;
}
