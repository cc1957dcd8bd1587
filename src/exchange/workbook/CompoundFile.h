#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The compound file container (OLE2) that holds .xls workbooks: just enough to read one stream by name. Every
// offset, sector number and chain comes from the file and is checked before use; a loop ends at the file's size.
class CompoundFile {
public:
    enum class Status { Ok, NotCompound, Missing, Damaged };

    explicit CompoundFile(const QByteArray &file);

    // The stream's content; status says why it is empty. A stream shorter than its directory entry claims (a
    // truncated file) is Damaged.
    QByteArray stream(const QString &name, Status *status) const;

private:
    QByteArray sector(quint32 index) const;
    QByteArray chain(quint32 start, const QList<quint32> &table, bool mini, qint64 limit) const;
    bool readFat();

    const QByteArray &mFile;
    bool mValid = false;
    int mSectorSize = 512;
    int mMiniSize = 64;
    quint32 mMiniCutoff = 4096;
    QList<quint32> mFat;
    QList<quint32> mMiniFat;
    QByteArray mDirectory;
};
