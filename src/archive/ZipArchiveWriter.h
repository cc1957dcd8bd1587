#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// Writes a standard ZIP archive from files on disk.
class ZipArchiveWriter {
public:
    struct Source {
        Source() = default;
        Source(QString entryName, QString fileName)
            : name(std::move(entryName))
            , file(std::move(fileName)) {}
        QString name;       // entry name, '/' separators
        QString file;       // file on disk whose content is stored
        QByteArray content; // stored instead when there is no file (owner-only, as the program's data files)
    };

    // Reads the finished archive (under its temporary name) and tells whether it is sound.
    using Check = std::function<Status(const QString &written, const QList<Source> &sources)>;

    // The archive is written under a temporary name beside `archive`, opened again and checked (`check`, by
    // default readBack), and only then renamed over `archive`. So a failure (folder not writable, disk full, a
    // source that cannot be read, an archive that does not read back) leaves no partial file under that name and
    // leaves an earlier file of that name as it was.
    static Status write(const QString &archive, const QList<Source> &sources, const Check &check = {});

    // Every entry is there under its name with the size of its source, and the archive's structure is sound.
    static Status readBack(const QString &written, const QList<Source> &sources);
};
