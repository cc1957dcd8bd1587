#include "documents/TemplateImport.h"

#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "office/WordApp.h"
#include "package/PackageTemplate.h"
#include "package/TemplateCheck.h"
#include "platform/Messages.h"
#include "store/DocumentStore.h"
#include "store/Indicator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The signature of the compound file a Word 97 document is stored in.
constexpr char kCompoundFileSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

QString unreadable(const QString &source) {
    return QStringLiteral("文件“%1”已损坏，或不是文字处理文档，不能作为合同模板导入。")
        .arg(QFileInfo(source).fileName());
}

} // namespace

namespace TemplateImport {

QString importFile(const QString &categoryCode, const QString &source) {
    const QString suffix = QFileInfo(source).suffix().toLower();
    if (suffix != QLatin1String("doc") && suffix != QLatin1String("docx") && suffix != QLatin1String("odt"))
        return QStringLiteral("只能导入 .doc、.docx 或 .odt 格式的文档作为合同模板。");

    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(source), input.errorString());
    const QByteArray bytes = input.readAll();
    input.close();
    if (suffix == QLatin1String("doc")) {
        if (!bytes.startsWith(QByteArray(kCompoundFileSignature, 8)))
            return unreadable(source);
    } else if (!PackageTemplate::verify(source).ok) {
        return unreadable(source);
    }

    const QString wordTemplate = DocumentPaths::templateFile(categoryCode);
    const QString target = suffix == QLatin1String("doc") ? wordTemplate
                                                          : QFileInfo(wordTemplate).absolutePath() + QLatin1Char('/') +
                                                                categoryCode + QLatin1Char('.') + suffix;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // The user chose to replace whatever template the category has now, also one another user saved a moment ago.
    const QString relative = DocumentStore::relativePath(target);
    QString serverError;
    if (!DocumentStore::fetch(relative, &serverError))
        return QStringLiteral("保存模板文件发生错误！\r错误原因：") + serverError;
    // The template in its place is either the old one or the whole new one.
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly) || output.write(bytes) != bytes.size() || !output.commit())
        return QStringLiteral("保存模板文件发生错误！\r错误原因：") + output.errorString();
    if (DocumentStore::put(relative, &serverError) != DocumentStore::Outcome::Done)
        return QStringLiteral("保存模板文件到服务器发生错误！\r错误原因：") +
               (serverError.isEmpty() ? QStringLiteral("其他用户同时保存了该模板，请重新导入。") : serverError);

    // A template of another format (or another spelling of the name) would be found before or after this one:
    // only the imported one stays.
    const QString base = QFileInfo(wordTemplate).absolutePath() + QLatin1Char('/') + categoryCode + QLatin1Char('.');
    for (const QString &other : {QStringLiteral("Doc"), QStringLiteral("docx"), QStringLiteral("odt")}) {
        const QString otherRelative = DocumentStore::relativePath(base + other);
        if (otherRelative != relative && !DocumentStore::remove(otherRelative, &serverError))
            return QStringLiteral("模板已经导入，但原有的模板文件不能从服务器删除：") + serverError;
        const QString found = DocumentPaths::existingFile(base + other);
        if (found.isEmpty() || QFileInfo(found).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
            continue;
        if (!QFile::remove(found))
            return QStringLiteral("模板已经导入，但原有的模板文件“%1”不能删除，请手工删除它。")
                .arg(QDir::toNativeSeparators(found));
    }
    return {};
}

std::optional<TemplateCheck::Report> checkReport(const QString &categoryCode, const QStringList &indicatorNames,
                                                 WordApp &word, QString *why) {
    const QString file = DocumentPaths::existingTemplate(categoryCode);
    if (file.isEmpty()) {
        *why = QStringLiteral("选定合同类型的模板文件尚未创建！");
        return std::nullopt;
    }
    QString package = file;
    if (PackageTemplate::formatOf(file) == PackageTemplate::Format::None) {
        package = word.connect() ? word.openDocumentCopyOf(file) : QString();
        if (package.isEmpty()) {
            *why = QStringLiteral("办公软件无法读取模板文件，没有检查。") +
                   (word.lastError().isEmpty() ? QString() : QStringLiteral("\n错误原因：") + word.lastError());
            return std::nullopt;
        }
    }
    return TemplateCheck::check(package, indicatorNames);
}

QString checkTemplate(const QString &categoryCode, WordApp &word, bool *clean) {
    *clean = false;
    QString fetchError;
    if (!DocumentSync::fetchAnyFormat(DocumentPaths::templateFile(categoryCode), &fetchError))
        return DocumentSync::fetchFailedText(fetchError);
    bool ok = false;
    QStringList names;
    for (const Indicator &indicator : Indicator::ofCategory(categoryCode, &ok))
        names << indicator.PropertyName;
    QString why;
    const std::optional<TemplateCheck::Report> report = checkReport(categoryCode, names, word, &why);
    if (!report)
        return why;
    *clean = report->clean();
    return TemplateCheck::describe(*report);
}

bool run(const QString &categoryCode) {
    if (categoryCode.isEmpty())
        return false;
    // A template another user gave the category counts too; a server that cannot be read is said by the import.
    DocumentSync::fetchAnyFormat(DocumentPaths::templateFile(categoryCode));
    if (!DocumentPaths::existingTemplate(categoryCode).isEmpty() &&
        !Messages::instance().question(
            QStringLiteral("该合同类别已经有模板文档，导入的文件将替换原有的模板，是否继续？")))
        return false;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString source =
        Messages::instance().openFileName(QStringLiteral("选择合同模板文件"), folder,
                                          QStringLiteral("文字处理文档 (*.doc *.docx *.odt *.DOC *.DOCX *.ODT)"));
    if (source.isEmpty())
        return false;
    const QString error = importFile(categoryCode, source);
    if (!error.isEmpty()) {
        Messages::instance().warning(error);
        return false;
    }
    return true;
}

} // namespace TemplateImport
