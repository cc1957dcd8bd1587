#include "office/OfficePdfRenderer.h"

#include "office/SharedOffice.h"
#include "office/uno/OfficeCalls.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/frame/XStorable.hpp>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace com::sun::star;
using namespace uno_support;

struct OfficePdfRenderer::Private {
    Private(OfficeInstance *shared, const QString &cacheFolder)
        : own(shared ? nullptr : std::make_unique<OfficeInstance>(OfficeInstance::Kind::Private, /*headless=*/true))
        , office(own ? *own : *shared)
        , cacheFolder(cacheFolder) {
        if (this->cacheFolder.isEmpty()) {
            const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
            this->cacheFolder = (cache.isEmpty() ? QDir::tempPath() : cache) + QStringLiteral("/vantrel/pdf");
        }
    }

    std::unique_ptr<OfficeInstance> own;
    OfficeInstance &office;
    QString cacheFolder;
};

OfficePdfRenderer::OfficePdfRenderer(const QString &cacheFolder)
    : d(std::make_unique<Private>(nullptr, cacheFolder)) {}

OfficePdfRenderer::OfficePdfRenderer(SharedOffice &office, const QString &cacheFolder)
    : d(std::make_unique<Private>(office.mOffice.get(), cacheFolder)) {}

OfficePdfRenderer::~OfficePdfRenderer() = default;

bool OfficePdfRenderer::isStarting() {
    return d->office.starting() && !d->office.reachedNow();
}

QString OfficePdfRenderer::cacheFolder() const {
    return d->cacheFolder;
}

bool OfficePdfRenderer::pdfFor(const QString &documentPath, QString *pdfPath) {
    clearError();
    const QFileInfo info(documentPath);
    if (!info.isFile())
        return fail(QStringLiteral("文件不存在：") + QDir::toNativeSeparators(documentPath));
    if (!QDir().mkpath(d->cacheFolder))
        return fail(QStringLiteral("无法创建缓存文件夹：") + QDir::toNativeSeparators(d->cacheFolder));

    const QString pathKey = QString::fromLatin1(
        QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
    const QString name =
        QStringLiteral("%1-%2-%3.pdf").arg(pathKey).arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size());
    const QString target = d->cacheFolder + QLatin1Char('/') + name;
    if (QFileInfo(target).isFile()) {
        *pdfPath = target;
        return true;
    }

    QString error;
    if (!d->office.ensureRunning(&error))
        return fail(error);
    const QString partial = target + QStringLiteral(".part");
    const auto report = [this](const QString &error) { fail(error); };
    const bool rendered = office_calls::guarded(d->office, QStringLiteral("无法显示文档："), report, [&] {
        const auto document = loadDocument(d->office, fileUrl(documentPath), /*readOnly=*/true, /*hidden=*/true);
        try {
            setAsianLocale(document);
            uno::Reference<frame::XStorable> storable(document, uno::UNO_QUERY_THROW);
            storable->storeToURL(fileUrl(partial), props({prop("FilterName", uno::Any(ascii("writer_pdf_Export"))),
                                                          prop("Overwrite", uno::Any(true))}));
        } catch (...) {
            closeUnsaved(document);
            throw;
        }
        closeUnsaved(document);
        return true;
    });
    if (!rendered) {
        QFile::remove(partial);
        return false;
    }

    // Earlier renderings of the same file are stale now.
    const auto stale = QDir(d->cacheFolder).entryList({pathKey + QStringLiteral("-*.pdf")}, QDir::Files);
    for (const QString &old : stale)
        QFile::remove(d->cacheFolder + QLatin1Char('/') + old);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        return fail(QStringLiteral("无法写入缓存文件：") + QDir::toNativeSeparators(target));
    }
    *pdfPath = target;
    return true;
}
