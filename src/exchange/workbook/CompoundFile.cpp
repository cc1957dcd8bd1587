#include "exchange/workbook/CompoundFile.h"

#include <QtEndian>

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FreeSector = 0xFFFFFFFF;
// A workbook stream larger than this is not one this program could import anyway.
constexpr qint64 MaxStream = 256LL * 1024 * 1024;

const QByteArray Signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

quint16 u16(const QByteArray &data, qint64 at) {
    if (at < 0 || at + 2 > data.size())
        return 0;
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 u32(const QByteArray &data, qint64 at) {
    if (at < 0 || at + 4 > data.size())
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + at);
}

QList<quint32> toEntries(const QByteArray &bytes) {
    QList<quint32> entries;
    entries.reserve(bytes.size() / 4);
    for (qint64 at = 0; at + 4 <= bytes.size(); at += 4)
        entries.append(u32(bytes, at));
    return entries;
}

} // namespace

CompoundFile::CompoundFile(const QByteArray &file)
    : mFile(file) {
    if (mFile.size() < 512 || !mFile.startsWith(Signature))
        return;
    const int shift = u16(mFile, 0x1E);
    const int miniShift = u16(mFile, 0x20);
    if (shift < 9 || shift > 12 || miniShift < 4 || miniShift >= shift)
        return;
    mSectorSize = 1 << shift;
    mMiniSize = 1 << miniShift;
    mMiniCutoff = u32(mFile, 0x38);
    if (!readFat())
        return;
    mDirectory = chain(u32(mFile, 0x30), mFat, false, MaxStream);
    mMiniFat = toEntries(chain(u32(mFile, 0x3C), mFat, false, MaxStream));
    mValid = !mDirectory.isEmpty();
}

QByteArray CompoundFile::sector(quint32 index) const {
    const qint64 at = (qint64(index) + 1) * mSectorSize;
    if (at + mSectorSize > mFile.size())
        return {};
    return mFile.mid(at, mSectorSize);
}

bool CompoundFile::readFat() {
    QList<quint32> fatSectors;
    for (int i = 0; i < 109; ++i) {
        const quint32 s = u32(mFile, 0x4C + i * 4);
        if (s != FreeSector)
            fatSectors.append(s);
    }
    // No table can hold more sectors than the file has; a looping DIFAT chain stops there.
    const qint64 sectorsInFile = mFile.size() / mSectorSize;
    quint32 difat = u32(mFile, 0x44);
    for (qint64 guard = 0;
         difat != EndOfChain && difat != FreeSector && guard < sectorsInFile && fatSectors.size() < sectorsInFile;
         ++guard) {
        const QByteArray block = sector(difat);
        if (block.isEmpty())
            return false;
        for (int i = 0; i < mSectorSize / 4 - 1; ++i) {
            const quint32 s = u32(block, qint64(i) * 4);
            if (s != FreeSector)
                fatSectors.append(s);
        }
        difat = u32(block, mSectorSize - 4);
    }
    if (fatSectors.size() > sectorsInFile)
        return false;
    QByteArray fat;
    fat.reserve(fatSectors.size() * mSectorSize);
    for (quint32 s : std::as_const(fatSectors)) {
        const QByteArray block = sector(s);
        if (block.isEmpty())
            return false;
        fat += block;
    }
    mFat = toEntries(fat);
    return !mFat.isEmpty();
}

// Follows a sector chain up to limit bytes; a loop or a chain running off the table ends it.
QByteArray CompoundFile::chain(quint32 start, const QList<quint32> &table, bool mini, qint64 limit) const {
    QByteArray out;
    const int size = mini ? mMiniSize : mSectorSize;
    QByteArray miniStream;
    if (mini) {
        // The small streams live inside the root entry's stream.
        if (mDirectory.size() < 128 || quint8(mDirectory.at(0x42)) != 5)
            return {};
        miniStream = chain(u32(mDirectory, 0x74), mFat, false, qint64(table.size()) * size);
    }
    // A chain without loops visits each sector once, so it cannot be longer than the sectors there are.
    const qint64 sectors = mini ? miniStream.size() / size : mFile.size() / mSectorSize;
    quint32 current = start;
    for (qint64 steps = 0; current != EndOfChain && steps < sectors && out.size() < limit; ++steps) {
        if (current >= quint32(table.size()) || out.size() + size > MaxStream)
            break;
        if (mini) {
            const qint64 at = qint64(current) * size;
            if (at + size > miniStream.size())
                break;
            out.append(miniStream.constData() + at, size);
        } else {
            const qint64 at = (qint64(current) + 1) * mSectorSize;
            if (at + mSectorSize > mFile.size())
                break;
            out.append(mFile.constData() + at, mSectorSize);
        }
        current = table.at(current);
    }
    return out;
}

QByteArray CompoundFile::stream(const QString &name, Status *status) const {
    if (!mValid) {
        *status = Status::NotCompound;
        return {};
    }
    for (qint64 at = 0; at + 128 <= mDirectory.size(); at += 128) {
        const int nameBytes = std::min<int>(u16(mDirectory, at + 0x40), 64);
        QString entryName(std::max(0, nameBytes / 2 - 1), Qt::Uninitialized);
        for (qsizetype i = 0; i < entryName.size(); ++i)
            entryName[i] = QChar(u16(mDirectory, at + 2 * i));
        const int type = quint8(mDirectory.at(at + 0x42));
        if (type != 2 || entryName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const quint32 start = u32(mDirectory, at + 0x74);
        const quint32 size = u32(mDirectory, at + 0x78);
        if (size > MaxStream) {
            *status = Status::Damaged;
            return {};
        }
        QByteArray content = size < mMiniCutoff ? chain(start, mMiniFat, true, size) : chain(start, mFat, false, size);
        if (content.size() < qint64(size)) {
            *status = Status::Damaged;
            return {};
        }
        content.truncate(size);
        *status = Status::Ok;
        return content;
    }
    *status = Status::Missing;
    return {};
}
