#pragma once

#include <QList>
#include <QString>

// Writes a standard ZIP archive from files on disk.
class ZipArchiveWriter
{
public:
    struct Source
    {
        QString name; // entry name, '/' separators
        QString file; // file on disk whose content is stored
    };

    // The archive is written under a temporary name beside `archive` and renamed over it only when complete, so a
    // failure (folder not writable, disk full, a source that cannot be read) leaves no partial file under that name
    // and leaves an earlier file of that name as it was. The finished archive is opened again and checked.
    static bool write(const QString &archive, const QList<Source> &sources, QString *error = nullptr);
};
