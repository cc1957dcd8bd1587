#include "archive/ZipArchiveWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <zip.h>

namespace {
bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}
} // namespace

bool ZipArchiveWriter::write(const QString &archive, const QList<Source> &sources, QString *error, const Check &check) {
    if (sources.isEmpty())
        return fail(error, QStringLiteral("nothing to store"));
    // libzip only reads the sources when it closes the archive; an unreadable file is better named now.
    for (const Source &source : sources) {
        if (source.file.isEmpty())
            continue;
        QFile probe(source.file);
        if (!probe.open(QIODevice::ReadOnly))
            return fail(error,
                        QStringLiteral("cannot read ") + source.file + QStringLiteral(": ") + probe.errorString());
    }

    // Beside the target, so that the final step is a rename on one file system; hidden, so that nobody takes the
    // unchecked file for a finished archive.
    const QFileInfo target(archive);
    QString written;
    do {
        written = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                  QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
    } while (QFileInfo::exists(written));

    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(written).constData(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!za) {
        zip_error_t err;
        zip_error_init_with_code(&err, code);
        const QString text = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        return fail(error, QStringLiteral("cannot create archive: ") + text);
    }
    for (const Source &source : sources) {
        // Content from memory stays in `sources` until zip_close has read it.
        zip_source_t *src =
            source.file.isEmpty()
                ? zip_source_buffer_create(source.content.constData(), zip_uint64_t(source.content.size()), 0, nullptr)
                : zip_source_file_create(QFile::encodeName(source.file).constData(), 0, -1, nullptr);
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
        const auto mode =
            source.file.isEmpty() ? quint32(0x6000 | 0x0600) : quint32(QFileInfo(source.file).permissions().toInt());
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

    // A backup holds every contract: it is the owner's alone, whatever the folder and the umask allow.
    if (!QFile::setPermissions(written, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                            QFileDevice::WriteUser)) {
        QFile::remove(written);
        return fail(error, QStringLiteral("cannot set the permissions of ") + written);
    }
    QString reason;
    if (!(check ? check(written, sources, &reason) : readBack(written, sources, &reason))) {
        QFile::remove(written);
        return fail(error, QStringLiteral("written archive does not read back: ") + reason);
    }
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(archive).constData()) != 0) {
        const QString text = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(written);
        return fail(error, QStringLiteral("cannot rename the archive to ") + archive + QStringLiteral(": ") + text);
    }
    return true;
}

bool ZipArchiveWriter::readBack(const QString &written, const QList<Source> &sources, QString *error) {
    int code = 0;
    zip_t *check = zip_open(QFile::encodeName(written).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!check)
        return fail(error, QStringLiteral("cannot be opened"));
    bool sound = zip_get_num_entries(check, 0) == sources.size();
    for (const Source &source : sources) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (!sound || zip_stat(check, source.name.toUtf8().constData(), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE) ||
            qint64(stat.size) != (source.file.isEmpty() ? source.content.size() : QFileInfo(source.file).size())) {
            sound = false;
            break;
        }
    }
    zip_discard(check);
    return sound || fail(error, QStringLiteral("incomplete"));
}
