#include "office/LibreOfficeWordApp.h"

#include "office/uno/LibreOfficeWordAppPrivate.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"
#include "package/PackageTemplate.h"

#include <com/sun/star/frame/XStorable.hpp>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <mutex>

// The prefilled document: the template converted once into an OpenDocument copy, that copy filled in the program,
// and the result loaded by the office, instead of one search of the office per marker.

using namespace com::sun::star;
using namespace uno_support;
using word_app::isFindableMarker;
using word_app::notConnected;
using word_app::templateCacheFolder;

// Beside the office profiles.
QString word_app::templateCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/vantrel/templates");
}

namespace {

// The OpenDocument copy of a template, made by the office when there is none for these contents of the template
// (a digest of its bytes is part of the name, so an edited template gets a new copy and the old one goes).
// Empty when the office could not make it.
QString openDocumentCopy(OfficeInstance &office, const QString &templatePath) {
    // Offices of a batch working side by side make one copy, not two that remove each other's.
    static std::mutex converting;
    const std::lock_guard lock(converting);
    const QFileInfo info(templatePath);
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash contents(QCryptographicHash::Sha1);
    if (!contents.addData(&file))
        return {};
    file.close();
    const QString folder = templateCacheFolder();
    const QString key = QString::fromLatin1(
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
    QString copy = folder + QLatin1Char('/') + key + QLatin1Char('-') + QString::fromLatin1(contents.result().toHex()) +
                   QStringLiteral(".odt");
    if (QFileInfo(copy).isFile())
        return copy;
    if (!QDir().mkpath(folder))
        return {};
    for (const QString &old : QDir(folder).entryList({key + QStringLiteral("-*.odt")}, QDir::Files))
        QFile::remove(folder + QLatin1Char('/') + old);
    QTemporaryFile staging(folder + QStringLiteral("/.convert-XXXXXX.odt"));
    if (!staging.open())
        return {};
    staging.close();
    const auto document = loadDocument(office, fileUrl(templatePath), /*readOnly=*/true, /*hidden=*/true);
    try {
        uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
        storable->storeToURL(fileUrl(staging.fileName()), props({prop("FilterName", uno::Any(ascii("writer8"))),
                                                                 prop("Overwrite", uno::Any(true))}));
    } catch (...) {
        closeUnsaved(document);
        throw;
    }
    closeUnsaved(document);
    if (!QFile::rename(staging.fileName(), copy))
        return {};
    staging.setAutoRemove(false);
    return copy;
}

} // namespace

QString LibreOfficeWordApp::openDocumentCopyOf(const QString &templatePath) {
    clearError();
    if (!d->office.alive() || !QFileInfo(templatePath).isFile())
        return {};
    return guarded("办公软件无法读取模板：", [&] { return openDocumentCopy(d->office, templatePath); });
}

bool LibreOfficeWordApp::openPrefilled(const QString &templatePath, const QList<QPair<QString, QString>> &pairs,
                                       const QHash<QString, QString> &conditions) {
    clearError();
    if (!d->office.alive())
        return fail(notConnected);
    if (pairs.isEmpty() || !QFileInfo(templatePath).isFile())
        return false;
    for (const auto &pair : pairs) {
        if (!isFindableMarker(pair.first))
            return false;
    }
    QString copy;
    try {
        OfficeInstance::Watch watch(d->office);
        copy = openDocumentCopy(d->office, templatePath);
    } catch (const uno::Exception &) {
        // A template the office cannot convert is filled the usual way, which reports what is wrong with it; an
        // office that ended meanwhile is reported here.
        if (!d->office.alive())
            return fail(d->office.takeTimedOut() ? QStringLiteral("办公软件没有响应，已被结束") : notConnected);
        return false;
    }
    if (copy.isEmpty())
        return false;
    QTemporaryFile filled(templateCacheFolder() + QStringLiteral("/filled-XXXXXX.odt"));
    if (!filled.open())
        return false;
    filled.close();
    const PackageTemplate::Result result = PackageTemplate::fill(copy, filled.fileName(), pairs, conditions);
    if (!result.ok) {
        // A damaged copy is made anew next time.
        QFile::remove(copy);
        return false;
    }
    // Our own filled copy failing to open means the office failed (it may not even know yet that it is ending):
    // said, not passed over to the slower way.
    if (!open(filled.fileName()))
        return false;
    filled.setAutoRemove(false);
    d->scratch = filled.fileName();
    return true;
}

// A document keeps the format its name says: a template or contract kept as .docx or .odt must not become a Word 97
