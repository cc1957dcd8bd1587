#include "BiffExtraCells.h"

#include "CellText.h"
#include "XlsxWorkbook.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FreeSector = 0xFFFFFFFF;
// A workbook stream larger than this is not one this program could import anyway.
constexpr qint64 MaxStream = 256LL * 1024 * 1024;

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

double f64(const QByteArray &data, qint64 at) {
    if (at < 0 || at + 8 > data.size())
        return 0;
    const quint64 bits = qFromLittleEndian<quint64>(data.constData() + at);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The compound file (OLE2) that holds the workbook: just enough to read one stream by name.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray &file)
        : mFile(file) {}

    QByteArray stream(const QString &wanted) {
        if (mFile.size() < 512 || !mFile.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
            return {};
        const int shift = u16(mFile, 0x1E);
        const int miniShift = u16(mFile, 0x20);
        if (shift < 9 || shift > 12 || miniShift < 4 || miniShift >= shift)
            return {};
        mSectorSize = 1 << shift;
        mMiniSize = 1 << miniShift;
        if (!readFat())
            return {};
        const QByteArray directory = chain(u32(mFile, 0x30), mFat, false);
        const quint32 miniCutoff = u32(mFile, 0x38);
        mMiniFat = toEntries(chain(u32(mFile, 0x3C), mFat, false));
        QByteArray miniStream;
        for (qint64 at = 0; at + 128 <= directory.size(); at += 128) {
            const int nameBytes = std::min<int>(u16(directory, at + 0x40), 64);
            const QString name = QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + at),
                                                    std::max(0, nameBytes / 2 - 1));
            const int type = quint8(directory.at(at + 0x42));
            const quint32 start = u32(directory, at + 0x74);
            const quint32 size = u32(directory, at + 0x78);
            if (type == 5) { // root entry: its stream holds the small streams
                miniStream = chain(start, mFat, false);
                continue;
            }
            if (type != 2 || name.compare(wanted, Qt::CaseInsensitive) != 0)
                continue;
            QByteArray content;
            if (size < miniCutoff) {
                mMiniStream = miniStream;
                content = chain(start, mMiniFat, true);
            } else {
                content = chain(start, mFat, false);
            }
            return content.left(size);
        }
        return {};
    }

private:
    static QList<quint32> toEntries(const QByteArray &bytes) {
        QList<quint32> entries;
        for (qint64 at = 0; at + 4 <= bytes.size(); at += 4)
            entries.append(u32(bytes, at));
        return entries;
    }

    QByteArray sector(quint32 index) const {
        const qint64 at = (qint64(index) + 1) * mSectorSize;
        if (at + mSectorSize > mFile.size())
            return {};
        return mFile.mid(at, mSectorSize);
    }

    bool readFat() {
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
                const quint32 s = u32(block, i * 4);
                if (s != FreeSector)
                    fatSectors.append(s);
            }
            difat = u32(block, mSectorSize - 4);
        }
        if (fatSectors.size() > sectorsInFile)
            return false;
        QByteArray fat;
        for (quint32 s : std::as_const(fatSectors)) {
            const QByteArray block = sector(s);
            if (block.isEmpty())
                return false;
            fat += block;
        }
        mFat = toEntries(fat);
        return !mFat.isEmpty();
    }

    // Follows a sector chain; a loop or a chain running off the table ends it.
    QByteArray chain(quint32 start, const QList<quint32> &table, bool mini) const {
        QByteArray out;
        const int size = mini ? mMiniSize : mSectorSize;
        quint32 current = start;
        for (qsizetype steps = 0; current != EndOfChain && steps <= table.size(); ++steps) {
            if (current >= quint32(table.size()) || out.size() + size > MaxStream)
                break;
            if (mini) {
                const qint64 at = qint64(current) * size;
                if (at + size > mMiniStream.size())
                    break;
                out += mMiniStream.mid(at, size);
            } else {
                const QByteArray block = sector(current);
                if (block.isEmpty())
                    break;
                out += block;
            }
            current = table.at(current);
        }
        return out;
    }

    const QByteArray &mFile;
    int mSectorSize = 512;
    int mMiniSize = 64;
    QList<quint32> mFat;
    QList<quint32> mMiniFat;
    QByteArray mMiniStream;
};

struct Record {
    quint16 type = 0;
    QByteArray body;
};

// BIFF8 strings: a character count, option flags, optional rich-text and phonetic sizes, then Latin-1 or UTF-16.
QString biffString(const QByteArray &body, qint64 at, bool wideCount) {
    const quint16 count = wideCount ? u16(body, at) : quint8(body.size() > at ? body.at(at) : 0);
    at += wideCount ? 2 : 1;
    if (at >= body.size())
        return {};
    const quint8 flags = quint8(body.at(at++));
    if (flags & 0x08)
        at += 2;
    if (flags & 0x04)
        at += 4;
    if (flags & 0x01) {
        const qint64 chars = std::min<qint64>(count, (body.size() - at) / 2);
        if (chars <= 0)
            return {};
        QString text(chars, Qt::Uninitialized);
        for (qint64 i = 0; i < chars; ++i)
            text[i] = QChar(u16(body, at + 2 * i));
        return text;
    }
    const qint64 chars = std::min<qint64>(count, body.size() - at);
    return chars > 0 ? QString::fromLatin1(body.constData() + at, chars) : QString();
}

} // namespace

namespace BiffExtraCells {

QHash<QString, QList<Cell>> read(const QByteArray &file) {
    CompoundFile compound(file);
    QByteArray stream = compound.stream(QStringLiteral("Workbook"));
    if (stream.isEmpty())
        return {};

    auto recordAt = [&stream](qint64 at, Record *record) {
        if (at + 4 > stream.size())
            return false;
        record->type = u16(stream, at);
        const quint16 length = u16(stream, at + 2);
        if (at + 4 + length > stream.size())
            return false;
        record->body = stream.mid(at + 4, length);
        return true;
    };

    // Workbook globals: sheets, date system, number formats and the cell styles that use them.
    QList<QPair<QString, quint32>> sheets;
    bool date1904 = false;
    QHash<int, QString> formats;
    QList<int> xfFormats;
    Record record;
    qint64 at = 0;
    for (int guard = 0; recordAt(at, &record) && guard < 10000000; ++guard) {
        at += 4 + record.body.size();
        if (record.type == 0x000A) // EOF of the globals
            break;
        switch (record.type) {
        case 0x0085: // BOUNDSHEET8
            if (record.body.size() >= 8 && quint8(record.body.at(5)) == 0)
                sheets.append({biffString(record.body, 6, false), u32(record.body, 0)});
            break;
        case 0x0022: // DATEMODE
            date1904 = u16(record.body, 0) == 1;
            break;
        case 0x041E: // FORMAT
            formats.insert(u16(record.body, 0), biffString(record.body, 2, true));
            break;
        case 0x00E0: // XF
            xfFormats.append(u16(record.body, 2));
            break;
        default:
            break;
        }
    }

    auto numberText = [&](double value, quint16 xf) {
        const int format = xf < xfFormats.size() ? xfFormats.at(xf) : 0;
        if (XlsxWorkbook::isDateFormat(formats.contains(format) ? -1 : format, formats.value(format))) {
            const QString date = CellText::fromSerial(value, date1904);
            if (!date.isEmpty())
                return date;
        }
        return CellText::fromNumber(value);
    };

    QHash<QString, QList<Cell>> result;
    for (const auto &[name, offset] : std::as_const(sheets)) {
        QList<Cell> cells;
        qint64 position = offset;
        Cell pendingString;
        bool stringPending = false;
        for (int guard = 0; recordAt(position, &record) && guard < 10000000; ++guard) {
            position += 4 + record.body.size();
            if (record.type == 0x000A)
                break;
            if (record.type == 0x0006 && record.body.size() >= 20) { // FORMULA
                Cell cell{u16(record.body, 0), u16(record.body, 2), {}};
                const quint16 xf = u16(record.body, 4);
                if (u16(record.body, 12) != 0xFFFF) {
                    cell.text = numberText(f64(record.body, 6), xf);
                    cells.append(cell);
                } else if (quint8(record.body.at(6)) == 0) { // string result in the next STRING record
                    pendingString = cell;
                    stringPending = true;
                } else if (quint8(record.body.at(6)) == 1) {
                    cell.text = record.body.at(8) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                    cells.append(cell);
                }
            } else if (record.type == 0x0207 && stringPending) { // STRING
                pendingString.text = biffString(record.body, 0, true);
                cells.append(pendingString);
                stringPending = false;
            } else if (record.type == 0x0205 && record.body.size() >= 8) { // BOOLERR
                if (quint8(record.body.at(7)) == 0) {
                    cells.append({u16(record.body, 0), u16(record.body, 2),
                                  record.body.at(6) ? QStringLiteral("TRUE") : QStringLiteral("FALSE")});
                }
            }
        }
        if (!cells.isEmpty())
            result.insert(name, cells);
    }
    return result;
}

} // namespace BiffExtraCells
