#include "ZipArchiveWriter.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <zip.h>

namespace {
bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

bool ZipArchiveWriter::write(const QString &archive, const QList<Source> &sources, QString *error)
{
    if (sources.isEmpty())
        return fail(error, QStringLiteral("nothing to store"));
    // libzip only reads the sources when it closes the archive; an unreadable file is better named now.
    for (const Source &source : sources) {
        QFile probe(source.file);
        if (!probe.open(QIODevice::ReadOnly))
            return fail(error, QStringLiteral("cannot read ") + source.file + QStringLiteral(": ") + probe.errorString());
    }

    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za) {
        zip_error_t err;
        zip_error_init_with_code(&err, code);
        const QString text = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        return fail(error, QStringLiteral("cannot create archive: ") + text);
    }
    for (const Source &source : sources) {
        zip_source_t *src = zip_source_file_create(QFile::encodeName(source.file).constData(), 0, -1, nullptr);
        if (!src) {
            zip_discard(za);
            return fail(error, QStringLiteral("cannot read ") + source.file);
        }
        const zip_int64_t index = zip_file_add(za, source.name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            const QString text = QString::fromUtf8(zip_strerror(za));
            zip_source_free(src);
            zip_discard(za);
            return fail(error, QStringLiteral("cannot add ") + source.name + QStringLiteral(": ") + text);
        }
        // Deflate at zlib's own default level: libzip's default (the best compression) takes several times as
        // long for an archive hardly smaller, and the user waits for the backup.
        zip_set_file_compression(za, quint64(index), ZIP_CM_DEFLATE, 6);
        const auto mode = quint32(QFileInfo(source.file).permissions().toInt());
        // Qt's owner bits are 0x7000, Unix's are 0700; keep the executable bit so a program package stays runnable.
        quint32 unixMode = S_IFREG;
        if (mode & 0x4000)
            unixMode |= S_IRUSR;
        if (mode & 0x2000)
            unixMode |= S_IWUSR;
        if (mode & 0x1000)
            unixMode |= S_IXUSR;
        if (mode & 0x0040)
            unixMode |= S_IRGRP;
        if (mode & 0x0010)
            unixMode |= S_IXGRP;
        if (mode & 0x0004)
            unixMode |= S_IROTH;
        if (mode & 0x0001)
            unixMode |= S_IXOTH;
        zip_file_set_external_attributes(za, quint64(index), 0, ZIP_OPSYS_UNIX, unixMode << 16);
    }
    if (zip_close(za) != 0) {
        const QString text = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        return fail(error, QStringLiteral("cannot write archive: ") + text);
    }

    int checkCode = 0;
    zip_t *check = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &checkCode);
    if (!check)
        return fail(error, QStringLiteral("written archive cannot be read back"));
    const bool complete = zip_get_num_entries(check, 0) == sources.size();
    zip_discard(check);
    if (!complete) {
        QFile::remove(archive);
        return fail(error, QStringLiteral("written archive is incomplete"));
    }
    return true;
}
