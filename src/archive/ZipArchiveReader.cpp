#include "archive/ZipArchiveReader.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {
// The stored Unix bits, always readable by the owner so a later backup can read the file again.
QFileDevice::Permissions permissionsOf(quint32 mode) {
    QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::ReadUser;
    const std::pair<quint32, QFileDevice::Permissions> bits[] = {
        {S_IWUSR, QFileDevice::WriteOwner | QFileDevice::WriteUser},
        {S_IXUSR, QFileDevice::ExeOwner | QFileDevice::ExeUser},
        {S_IRGRP, QFileDevice::ReadGroup},
        {S_IWGRP, QFileDevice::WriteGroup},
        {S_IXGRP, QFileDevice::ExeGroup},
        {S_IROTH, QFileDevice::ReadOther},
        {S_IWOTH, QFileDevice::WriteOther},
        {S_IXOTH, QFileDevice::ExeOther},
    };
    for (const auto &[bit, permission] : bits) {
        if (mode & bit)
            p |= permission;
    }
    return p;
}

QString zipErrorText(int code) {
    zip_error_t err;
    zip_error_init_with_code(&err, code);
    QString text = QString::fromUtf8(zip_error_strerror(&err));
    zip_error_fini(&err);
    return text;
}
} // namespace

ZipArchiveReader::~ZipArchiveReader() {
    close();
}

void ZipArchiveReader::close() {
    if (mZip)
        zip_discard(mZip);
    mZip = nullptr;
    mEntries.clear();
}

QString ZipArchiveReader::entryNameProblem(const QString &name) {
    if (name.isEmpty())
        return QStringLiteral("empty name");
    if (name.contains(QLatin1Char('\\')))
        return QStringLiteral("backslash in name: ") + name;
    if (name.startsWith(QLatin1Char('/')))
        return QStringLiteral("absolute name: ") + name;
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':'))
        return QStringLiteral("drive letter in name: ") + name;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("control character in name: ") + name;
    }
    QString path = name;
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral("unsafe path component in name: ") + name;
    }
    return {};
}

Status ZipArchiveReader::open(const QString &file) {
    close();
    int code = 0;
    mZip = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!mZip)
        return Status::failure(QStringLiteral("cannot open archive: ") + zipErrorText(code));

    const zip_int64_t count = zip_get_num_entries(mZip, 0);
    QSet<QString> seen;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(mZip, quint64(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            const QString text = QString::fromUtf8(zip_strerror(mZip));
            close();
            return Status::failure(QStringLiteral("unreadable entry: ") + text);
        }
        Entry entry;
        entry.index = quint64(i);
        entry.name = QString::fromUtf8(st.name);
        const QString problem = entryNameProblem(entry.name);
        if (!problem.isEmpty()) {
            close();
            return Status::failure(problem);
        }
        entry.isFolder = entry.name.endsWith(QLatin1Char('/'));
        if (entry.isFolder)
            entry.name.chop(1);
        entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(mZip, quint64(i), 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            const quint32 mode = attributes >> 16;
            // A link would let a later entry write through it to anywhere on the disk.
            if (S_ISLNK(mode)) {
                close();
                return Status::failure(QStringLiteral("link entry: ") + entry.name);
            }
            if (mode != 0 && !S_ISREG(mode) && !S_ISDIR(mode)) {
                close();
                return Status::failure(QStringLiteral("special file entry: ") + entry.name);
            }
            entry.unixMode = mode & 07777;
        }
        if (seen.contains(entry.name)) {
            close();
            return Status::failure(QStringLiteral("entry stored twice: ") + entry.name);
        }
        seen.insert(entry.name);
        mEntries << entry;
    }
    return Status::success();
}

bool ZipArchiveReader::contains(const QString &name) const {
    for (const Entry &e : mEntries) {
        if (!e.isFolder && e.name == name)
            return true;
    }
    return false;
}

namespace {
// Creates `name` below `root`; with ownerOnly every level of it, so that none is readable by others once the
// staging folder is moved into place.
bool makeFolder(const QDir &root, const QString &name, bool ownerOnly) {
    if (!root.mkpath(name))
        return false;
    if (ownerOnly) {
        QString sub;
        for (const QString &part : name.split(QLatin1Char('/'))) {
            sub += (sub.isEmpty() ? QString() : QStringLiteral("/")) + part;
            QFile::setPermissions(root.filePath(sub), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                                          QFileDevice::WriteUser | QFileDevice::ExeUser);
        }
    }
    return true;
}

// Copies the open entry `in` into `out` to its end and makes it durable; the reason when anything is wrong with the
// entry (read error, CRC, a size other than the directory's) or with the disk. `in` is closed here.
Status copyEntry(zip_file_t *in, QFile &out, quint64 expectedSize) {
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    quint64 total = 0;
    Status copied = Status::success();
    for (;;) {
        const zip_int64_t n = zip_fread(in, buffer.data(), quint64(buffer.size()));
        if (n < 0) {
            copied = Status::failure(QString::fromUtf8(zip_file_strerror(in)));
            break;
        }
        if (n == 0)
            break;
        total += quint64(n);
        if (out.write(buffer.constData(), n) != n) {
            copied = Status::failure(out.errorString());
            break;
        }
    }
    // Closing reports a CRC mismatch that the last read did not.
    if (zip_fclose(in) != 0 && copied)
        copied = Status::failure(QStringLiteral("CRC or data error"));
    if (copied && total != expectedSize)
        copied = Status::failure(QStringLiteral("size differs from the directory"));
    // The staged copy replaces the only other copy of the data: it must be on the disk, not in a cache.
    if (copied && (!out.flush() || ::fsync(out.handle()) != 0))
        copied = Status::failure(out.errorString());
    out.close();
    if (copied && out.error() != QFileDevice::NoError)
        copied = Status::failure(out.errorString());
    return copied;
}
} // namespace

Status ZipArchiveReader::extractEntry(int index, const QString &folder) {
    const Entry &entry = mEntries.at(index);
    const QDir root(folder);
    if (entry.isFolder)
        return makeFolder(root, entry.name, mOwnerOnly)
                   ? Status::success()
                   : Status::failure(QStringLiteral("cannot create folder ") + entry.name);

    const QString target = root.filePath(entry.name);
    const int slash = entry.name.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !makeFolder(root, entry.name.left(slash), mOwnerOnly))
        return Status::failure(QStringLiteral("cannot create folder for ") + entry.name);

    QFile out(target);
    // NewOnly: a name that resolves to an existing file (a folder entry and a file entry of the same path) fails.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::failure(QStringLiteral("cannot create ") + target + QStringLiteral(": ") + out.errorString());
    // Before a byte is written: the content is never readable by others, not even for a moment.
    if (mOwnerOnly && !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                          QFileDevice::WriteUser)) {
        out.remove();
        return Status::failure(QStringLiteral("cannot set the permissions of ") + target);
    }

    zip_file_t *in = zip_fopen_index(mZip, entry.index, 0);
    if (!in) {
        const QString text = QString::fromUtf8(zip_strerror(mZip));
        out.remove();
        return Status::failure(QStringLiteral("cannot read entry ") + entry.name + QStringLiteral(": ") + text);
    }
    if (const Status copied = copyEntry(in, out, entry.size); !copied) {
        out.remove();
        return Status::failure(QStringLiteral("entry ") + entry.name + QStringLiteral(": ") + copied.error);
    }
    if (!mOwnerOnly && (entry.unixMode & 0777))
        QFile::setPermissions(target, permissionsOf(entry.unixMode));
    return Status::success();
}
