#include "archive/ZipArchiveWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <sys/stat.h>
#include <zip.h>

namespace {
QString zipErrorText(int code) {
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    QString text = QString::fromUtf8(zip_error_strerror(&err));
    zip_error_fini(&err);
    return text;
}

// libzip only reads the sources when it closes the archive; an unreadable file is better named now.
Status sourcesReadable(const QList<ZipArchiveWriter::Source> &sources) {
    for (const ZipArchiveWriter::Source &source : sources) {
        if (source.file.isEmpty())
            continue;
        QFile probe(source.file);
        if (!probe.open(QIODevice::ReadOnly))
            return Status::failure(QStringLiteral("cannot read ") + source.file + QStringLiteral(": ") +
                                   probe.errorString());
    }
    return Status::success();
}

// Beside the target, so that the final step is a rename on one file system; hidden, so that nobody takes the
// unchecked file for a finished archive.
QString unusedNameBeside(const QString &archive) {
    const QFileInfo target(archive);
    QString written;
    do {
        written = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                  QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
    } while (QFileInfo::exists(written));
    return written;
}

// The Unix mode stored for an entry. Qt's owner bits are 0x7000, Unix's are 0700; the executable bit is kept so a
// program package stays runnable. Content from memory is the owner's alone, as the program's data files are.
quint32 unixModeOf(const ZipArchiveWriter::Source &source) {
    const auto mode =
        source.file.isEmpty() ? quint32(0x6000 | 0x0600) : quint32(QFileInfo(source.file).permissions().toInt());
    const std::pair<quint32, quint32> bits[] = {
        {0x4000, S_IRUSR}, {0x2000, S_IWUSR}, {0x1000, S_IXUSR}, {0x0040, S_IRGRP},
        {0x0010, S_IXGRP}, {0x0004, S_IROTH}, {0x0001, S_IXOTH},
    };
    quint32 unixMode = S_IFREG;
    for (const auto &[qtBit, unixBit] : bits) {
        if (mode & qtBit)
            unixMode |= unixBit;
    }
    return unixMode;
}

// Adds one entry to the open archive; on failure the archive is left for the caller to discard.
Status addEntry(zip_t *za, const ZipArchiveWriter::Source &source) {
    // Content from memory stays in `sources` until zip_close has read it.
    zip_source_t *src =
        source.file.isEmpty()
            ? zip_source_buffer_create(source.content.constData(), zip_uint64_t(source.content.size()), 0, nullptr)
            : zip_source_file_create(QFile::encodeName(source.file).constData(), 0, -1, nullptr);
    if (!src)
        return Status::failure(QStringLiteral("cannot read ") + source.file);
    const zip_int64_t index = zip_file_add(za, source.name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        const QString text = QString::fromUtf8(zip_strerror(za));
        zip_source_free(src);
        return Status::failure(QStringLiteral("cannot add ") + source.name + QStringLiteral(": ") + text);
    }
    // Deflate at zlib's own default level: libzip's default (the best compression) takes several times as long
    // for an archive hardly smaller, and the user waits for the backup.
    zip_set_file_compression(za, quint64(index), ZIP_CM_DEFLATE, 6);
    zip_file_set_external_attributes(za, quint64(index), 0, ZIP_OPSYS_UNIX, unixModeOf(source) << 16);
    return Status::success();
}

// Writes every source into a new archive at `written`.
Status writeEntries(const QString &written, const QList<ZipArchiveWriter::Source> &sources) {
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(written).constData(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!za)
        return Status::failure(QStringLiteral("cannot create archive: ") + zipErrorText(code));
    for (const ZipArchiveWriter::Source &source : sources) {
        if (Status added = addEntry(za, source); !added) {
            zip_discard(za);
            return added;
        }
    }
    if (zip_close(za) != 0) {
        const QString text = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        return Status::failure(QStringLiteral("cannot write archive: ") + text);
    }
    return Status::success();
}
} // namespace

Status ZipArchiveWriter::write(const QString &archive, const QList<Source> &sources, const Check &check) {
    if (sources.isEmpty())
        return Status::failure(QStringLiteral("nothing to store"));
    if (Status readable = sourcesReadable(sources); !readable)
        return readable;
    const QString written = unusedNameBeside(archive);
    if (Status entries = writeEntries(written, sources); !entries)
        return entries;

    // A backup holds every contract: it is the owner's alone, whatever the folder and the umask allow.
    if (!QFile::setPermissions(written, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                            QFileDevice::WriteUser)) {
        QFile::remove(written);
        return Status::failure(QStringLiteral("cannot set the permissions of ") + written);
    }
    if (const Status sound = check ? check(written, sources) : readBack(written, sources); !sound) {
        QFile::remove(written);
        return Status::failure(QStringLiteral("written archive does not read back: ") + sound.error);
    }
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(archive).constData()) != 0) {
        const QString text = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(written);
        return Status::failure(QStringLiteral("cannot rename the archive to ") + archive + QStringLiteral(": ") + text);
    }
    return Status::success();
}

Status ZipArchiveWriter::readBack(const QString &written, const QList<Source> &sources) {
    int code = 0;
    zip_t *check = zip_open(QFile::encodeName(written).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!check)
        return Status::failure(QStringLiteral("cannot be opened"));
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
    return sound ? Status::success() : Status::failure(QStringLiteral("incomplete"));
}
