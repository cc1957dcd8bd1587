#include "documents/DocumentSync.h"

#include "platform/Messages.h"
#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// The user's losing copy goes where backups go: out of DB/, which mirrors the server, and kept by nothing else.
QString keepAside(const QString &path) {
    return DocumentStore::keepAside(DocumentStore::relativePath(path), QStringLiteral("本机修改"));
}

} // namespace

namespace DocumentSync {

QString fetchFailedText(const QString &error) {
    return QStringLiteral("从服务器读取文档发生错误！\r错误原因：") + error;
}

bool fetchAnyFormat(const QString &path, QString *error) {
    if (!DocumentStore::active())
        return true;
    const QString relative = DocumentStore::relativePath(path);
    if (relative.isEmpty())
        return true;
    const QFileInfo info(relative);
    const QString base =
        (info.path() == QLatin1String(".") ? QString() : info.path() + QLatin1Char('/')) + info.completeBaseName();
    // A copy changed here and never written back is kept in Bak/ by the fetch, or nothing is replaced.
    for (const QString &candidate :
         QStringList{relative, base + QStringLiteral(".docx"), base + QStringLiteral(".odt")}) {
        if (!DocumentStore::fetch(candidate, error))
            return false;
    }
    return true;
}

void writeBackOnClose(const QString &path, const QString &what) {
    const QString relative = DocumentStore::relativePath(path);
    if (relative.isEmpty() || !DocumentStore::changedLocally(relative) || DocumentStore::keptAside(relative))
        return;
    if (writeBack(path, what) != WriteBack::Failed)
        return;
    const QString copy = keepAside(path);
    if (!copy.isEmpty())
        Messages::instance().information(QStringLiteral("您的修改已另存为“%1”。").arg(QDir::toNativeSeparators(copy)));
}

WriteBack writeBack(const QString &path, const QString &what) {
    const QString relative = DocumentStore::relativePath(path);
    if (!DocumentStore::active() || relative.isEmpty())
        return WriteBack::Written;
    QString error;
    switch (DocumentStore::put(relative, &error)) {
    case DocumentStore::Outcome::Done:
        return WriteBack::Written;
    case DocumentStore::Outcome::Failed:
        Messages::instance().warning(
            QStringLiteral("保存文件到服务器发生错误，您的修改没有保存到服务器！\r错误原因：") + error);
        return WriteBack::Failed;
    case DocumentStore::Outcome::Conflict:
        break;
    }
    const QString refused =
        QStringLiteral("该%1在您打开之后已经被其他用户修改并保存，您的修改没有保存到服务器。").arg(what);
    const QString copy = keepAside(path);
    if (copy.isEmpty()) {
        Messages::instance().warning(refused +
                                     QStringLiteral("\n您的修改仍在打开的文档中，请另存为其他文件后再重新打开。"));
        return WriteBack::Kept;
    }
    if (!Messages::instance().question(refused + QStringLiteral("\n您的修改已另存为“%1”。\n是否载入其他用户保存的%2？")
                                                     .arg(QDir::toNativeSeparators(copy), what)))
        return WriteBack::Kept;
    if (!DocumentStore::fetch(relative, &error)) {
        Messages::instance().warning(fetchFailedText(error));
        return WriteBack::Kept;
    }
    return WriteBack::Reloaded;
}

} // namespace DocumentSync
