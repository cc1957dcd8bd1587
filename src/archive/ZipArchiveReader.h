#pragma once

#include "platform/Result.h"

#include <QFileDevice>
#include <QList>
#include <QString>

struct zip;

// Reads a ZIP archive defensively: every entry name is checked before anything is written, and extraction
// verifies each entry's size and CRC. Used by the restore and by the updater.
class ZipArchiveReader {
public:
    struct Entry {
        QString name; // relative path with '/' separators, without a trailing '/' for folders
        bool isFolder = false;
        quint64 size = 0;
        quint32 unixMode = 0; // permission bits stored by a Unix archiver, 0 when none
        quint64 index = 0;
    };

    ZipArchiveReader() = default;
    ~ZipArchiveReader();
    ZipArchiveReader(const ZipArchiveReader &) = delete;
    ZipArchiveReader &operator=(const ZipArchiveReader &) = delete;

    // Opens the archive and reads its directory; false when it is not a readable ZIP file or when any entry
    // name is unsafe (see entryNameProblem) or is stored twice.
    Status open(const QString &file);
    void close();

    const QList<Entry> &entries() const { return mEntries; }
    bool contains(const QString &name) const;

    // Writes every entry (except those `skip` refuses) below `folder`, which must be empty; reads each entry to its
    // end so a damaged entry (CRC, size, truncated data) fails the whole extraction. Returns the relative paths of
    // the files written.
    template <typename Skip> Result<QStringList> extractTo(const QString &folder, Skip &&skip) {
        QStringList written;
        for (int i = 0; i < mEntries.size(); ++i) {
            if (skip(mEntries.at(i)))
                continue;
            if (Status extracted = extractEntry(i, folder); !extracted)
                return Result<QStringList>::failure(extracted.error);
            if (!mEntries.at(i).isFolder)
                written << mEntries.at(i).name;
        }
        return Result<QStringList>::success(written);
    }
    Result<QStringList> extractTo(const QString &folder) {
        return extractTo(folder, [](const Entry &) { return false; });
    }

    // Files extracted afterwards get exactly these permissions and folders the owner's alone, whatever bits the
    // archive stored (by default the stored bits are kept: a program package stays runnable).
    void setOwnerOnly(bool ownerOnly) { mOwnerOnly = ownerOnly; }

    // Why an entry name may not be extracted: absolute, a drive letter, a backslash, an empty, "." or ".."
    // component, or a control character. Empty text when the name is safe.
    static QString entryNameProblem(const QString &name);

private:
    Status extractEntry(int index, const QString &folder);

    struct zip *mZip = nullptr;
    bool mOwnerOnly = false;
    QList<Entry> mEntries;
};
