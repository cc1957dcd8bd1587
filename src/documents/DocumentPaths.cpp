#include "documents/DocumentPaths.h"

#include "documents/DocumentSync.h"
#include "store/Database.h"

#include <QDir>
#include <QFileInfo>

namespace DocumentPaths {

QString templateFile(const QString &categoryCode) {
    return Database::instance().path(Database::ModelFolder + categoryCode + QStringLiteral(".Doc"));
}

QString emptyTemplate() {
    return Database::instance().path(Database::EmptyDoc);
}

QString contractFile(int recordId) {
    return Database::instance().path(Database::ContractFolder + QString::number(recordId) + QStringLiteral(".Doc"));
}

QString existingFile(const QString &path) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (info.isFile())
        return path;
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        return QString();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    }
    return QString();
}

FolderNames namesIn(const QString &folder) {
    FolderNames names;
    const QStringList all = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.reserve(all.size());
    // entryList gives the names in order; of two that fold alike the first one counts, as in existingFile.
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        names.insert(it->toCaseFolded(), *it);
    return names;
}

QString existingFile(const QString &path, const FolderNames &names) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (info.isFile())
        return path;
    const QString name = names.value(info.fileName().toCaseFolded());
    if (name.isEmpty())
        return QString();
    const QString found = info.absoluteDir().filePath(name);
    return QFileInfo(found).isFile() ? found : QString();
}

namespace {

template <typename Find> QString firstExisting(const QString &path, Find find) {
    const QFileInfo info(path);
    const QString base = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
    const QStringList candidates{path, base + QStringLiteral(".docx"), base + QStringLiteral(".odt")};
    for (const QString &candidate : candidates) {
        QString found = find(candidate);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString firstExisting(const QString &path) {
    return firstExisting(path, [](const QString &candidate) { return existingFile(candidate); });
}

} // namespace

QString existingDocument(const QString &path, const FolderNames &names) {
    return path.isEmpty()
               ? QString()
               : firstExisting(path, [&](const QString &candidate) { return existingFile(candidate, names); });
}

QString existingTemplate(const QString &categoryCode) {
    return firstExisting(templateFile(categoryCode));
}

QString existingDocument(const QString &path) {
    return path.isEmpty() ? QString() : firstExisting(path);
}

QString withSuffixOf(const QString &path, const QString &model) {
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') +
           QFileInfo(model).suffix();
}

} // namespace DocumentPaths

namespace DocumentPaths {

QString documentToShow(const QString &categoryCode) {
    // Shown as the shared server has it now; an unreadable server leaves the copy last fetched.
    DocumentSync::fetchAnyFormat(templateFile(categoryCode));
    QString ownTemplate = existingTemplate(categoryCode);
    if (!ownTemplate.isEmpty())
        return ownTemplate;
    return existingFile(emptyTemplate());
}

} // namespace DocumentPaths
