#include "exchange/workbook/BiffWorkbook.h"

#include "exchange/workbook/CellText.h"
#include "exchange/workbook/CompoundFile.h"
#include "exchange/workbook/SheetBuilder.h"
#include "exchange/workbook/XlsxWorkbook.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

enum RecordType : quint16 {
    Bof = 0x0809,
    Eof = 0x000A,
    FilePass = 0x002F,
    BoundSheet = 0x0085,
    DateMode = 0x0022,
    Format = 0x041E,
    Xf = 0x00E0,
    Sst = 0x00FC,
    Continue = 0x003C,
    LabelSst = 0x00FD,
    Label = 0x0204,
    RString = 0x00D6,
    Number = 0x0203,
    Rk = 0x027E,
    MulRk = 0x00BD,
    Formula = 0x0006,
    String = 0x0207,
    BoolErr = 0x0205,
};

constexpr quint16 Biff8Version = 0x0600;

// A stretch of the stream; reads outside it give 0.
struct Bytes {
    const char *data = nullptr;
    qint64 size = 0;

    quint8 u8(qint64 at) const { return at >= 0 && at < size ? quint8(data[at]) : 0; }
    quint16 u16(qint64 at) const { return at >= 0 && at + 2 <= size ? qFromLittleEndian<quint16>(data + at) : 0; }
    quint32 u32(qint64 at) const { return at >= 0 && at + 4 <= size ? qFromLittleEndian<quint32>(data + at) : 0; }
    double f64(qint64 at) const {
        if (at < 0 || at + 8 > size)
            return 0;
        const quint64 bits = qFromLittleEndian<quint64>(data + at);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

struct Record {
    quint16 type = 0;
    Bytes body;
};

// Walks the records of the stream from an offset. next() fails at the stream's end and on a record whose
// length runs past it (damaged() tells the two apart).
class Records {
public:
    Records(const QByteArray &stream, qint64 at)
        : mStream(stream)
        , mAt(at) {}

    bool next(Record *record) {
        if (mAt < 0 || mAt + 4 > mStream.size()) {
            mDamaged = mAt != mStream.size();
            return false;
        }
        const char *head = mStream.constData() + mAt;
        record->type = qFromLittleEndian<quint16>(head);
        const quint16 length = qFromLittleEndian<quint16>(head + 2);
        if (mAt + 4 + length > mStream.size()) {
            mDamaged = true;
            return false;
        }
        record->body = {head + 4, length};
        mAt += 4 + length;
        return true;
    }

    // The type of the record that follows, 0 at the end.
    quint16 peekType() const {
        return mAt + 4 <= mStream.size() ? qFromLittleEndian<quint16>(mStream.constData() + mAt) : 0;
    }

    bool damaged() const { return mDamaged; }

private:
    const QByteArray &mStream;
    qint64 mAt;
    bool mDamaged = false;
};

// A record with its CONTINUE records: strings longer than one record go on in the next, and each continued
// run of characters starts with its own byte saying whether it is stored as 8-bit or 16-bit characters.
class ContinuedRecord {
public:
    void start(const Bytes &body) {
        mData.clear();
        mBoundaries.clear();
        mData.append(body.data, body.size);
        mAt = 0;
    }
    void append(const Bytes &body) {
        mBoundaries.push_back(mData.size());
        mData.append(body.data, body.size);
    }

    bool u8(quint8 *value) {
        if (mAt + 1 > mData.size())
            return false;
        *value = quint8(mData.at(mAt++));
        return true;
    }
    bool u16(quint16 *value) {
        if (mAt + 2 > mData.size())
            return false;
        *value = qFromLittleEndian<quint16>(mData.constData() + mAt);
        mAt += 2;
        return true;
    }
    bool u32(quint32 *value) {
        if (mAt + 4 > mData.size())
            return false;
        *value = qFromLittleEndian<quint32>(mData.constData() + mAt);
        mAt += 4;
        return true;
    }
    bool skip(qint64 count) {
        if (count < 0 || mAt + count > mData.size())
            return false;
        mAt += count;
        return true;
    }

    // A string with a 16-bit character count and option flags (rich-text runs and phonetic data skipped).
    bool string(QString *text) {
        quint16 count = 0;
        quint8 flags = 0;
        quint16 runs = 0;
        quint32 extra = 0;
        if (!u16(&count) || !u8(&flags))
            return false;
        if ((flags & 0x08) && !u16(&runs))
            return false;
        if ((flags & 0x04) && !u32(&extra))
            return false;
        bool wide = flags & 0x01;
        text->resize(count);
        qint64 done = 0;
        while (done < count) {
            if (isBoundary(mAt)) {
                // The characters go on in the next record, which starts with its own flags byte.
                quint8 continuedFlags = 0;
                if (!u8(&continuedFlags))
                    return false;
                wide = continuedFlags & 0x01;
            }
            const qint64 available = (pieceEnd(mAt) - mAt) / (wide ? 2 : 1);
            if (available <= 0)
                return false;
            const qint64 n = std::min<qint64>(count - done, available);
            QChar *out = text->data() + done;
            const char *in = mData.constData() + mAt;
            if (wide) {
                for (qint64 i = 0; i < n; ++i)
                    out[i] = QChar(qFromLittleEndian<quint16>(in + 2 * i));
                mAt += 2 * n;
            } else {
                for (qint64 i = 0; i < n; ++i)
                    out[i] = QChar(quint8(in[i]));
                mAt += n;
            }
            done += n;
        }
        return skip(qint64(runs) * 4) && skip(extra);
    }

private:
    bool isBoundary(qint64 at) const { return std::binary_search(mBoundaries.begin(), mBoundaries.end(), at); }
    // The end of the record piece that holds position at.
    qint64 pieceEnd(qint64 at) const {
        const auto next = std::upper_bound(mBoundaries.begin(), mBoundaries.end(), at);
        return next == mBoundaries.end() ? mData.size() : *next;
    }

    QByteArray mData;
    std::vector<qint64> mBoundaries;
    qint64 mAt = 0;
};

// A string inside one record: 8- or 16-bit character count, option flags, optional rich-text and phonetic sizes.
QString shortString(const Bytes &body, qint64 at, bool wideCount) {
    const quint16 count = wideCount ? body.u16(at) : body.u8(at);
    at += wideCount ? 2 : 1;
    if (at >= body.size)
        return {};
    const quint8 flags = body.u8(at++);
    if (flags & 0x08)
        at += 2;
    if (flags & 0x04)
        at += 4;
    if (at >= body.size)
        return {};
    if (flags & 0x01) {
        const qint64 chars = std::min<qint64>(count, (body.size - at) / 2);
        QString text(chars, Qt::Uninitialized);
        for (qint64 i = 0; i < chars; ++i)
            text[i] = QChar(body.u16(at + 2 * i));
        return text;
    }
    const qint64 chars = std::min<qint64>(count, body.size - at);
    return QString::fromLatin1(body.data + at, chars);
}

// RK values: a 30-bit integer or the top 30 bits of a double, either possibly divided by 100.
double rkValue(quint32 rk) {
    double value = 0;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

QString damagedFile() {
    return QStringLiteral("文件不是可以读取的Excel工作簿（文件已损坏）。");
}

} // namespace

std::unique_ptr<BiffWorkbook> BiffWorkbook::open(const QByteArray &file, QString *error, Outcome *outcome) {
    *outcome = Outcome::Failed;
    const CompoundFile compound(file);
    CompoundFile::Status status = CompoundFile::Status::Ok;
    std::unique_ptr<BiffWorkbook> book(new BiffWorkbook);
    book->mStream = compound.stream(QStringLiteral("Workbook"), &status);
    if (status == CompoundFile::Status::Missing) {
        compound.stream(QStringLiteral("Book"), &status);
        if (status == CompoundFile::Status::Ok) {
            *outcome = Outcome::OlderFormat;
            return nullptr;
        }
        if (error)
            *error = QStringLiteral("文件不是Excel工作簿。");
        return nullptr;
    }
    if (status != CompoundFile::Status::Ok) {
        if (error)
            *error = damagedFile();
        return nullptr;
    }
    Records records(book->mStream, 0);
    Record bof;
    if (!records.next(&bof) || bof.type != Bof) {
        if (error)
            *error = QStringLiteral("文件不是Excel工作簿。");
        return nullptr;
    }
    if (bof.body.u16(0) != Biff8Version) {
        *outcome = Outcome::OlderFormat;
        return nullptr;
    }
    if (!book->readGlobals(error))
        return nullptr;
    *outcome = Outcome::Opened;
    return book;
}

bool BiffWorkbook::readGlobals(QString *error) {
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    Records records(mStream, 0);
    Record record;
    records.next(&record); // BOF, checked by open()
    QHash<int, QString> formats;
    QList<quint16> xfFormats;
    ContinuedRecord sst;
    bool haveSst = false;
    bool ended = false;
    while (records.next(&record)) {
        if (record.type == Eof) {
            ended = true;
            break;
        }
        switch (record.type) {
        case FilePass:
            return fail(QStringLiteral("工作簿设有密码，无法读取。"));
        case BoundSheet:
            // Worksheets only: chart and macro sheets hold no table.
            if (record.body.size >= 8 && record.body.u8(5) == 0) {
                mSheetNames.append(shortString(record.body, 6, false));
                mSheetOffsets.append(record.body.u32(0));
            }
            break;
        case DateMode:
            mNumbers.setDate1904(record.body.u16(0) == 1);
            break;
        case Format:
            formats.insert(record.body.u16(0), shortString(record.body, 2, true));
            break;
        case Xf:
            xfFormats.append(record.body.u16(2));
            break;
        case Sst:
            sst.start(record.body);
            while (records.peekType() == Continue && records.next(&record))
                sst.append(record.body);
            haveSst = true;
            break;
        default:
            break;
        }
    }
    if (!ended)
        return fail(damagedFile());

    for (const quint16 format : std::as_const(xfFormats))
        mNumbers.addStyle(XlsxWorkbook::isDateFormat(formats.contains(format) ? -1 : format, formats.value(format)));

    if (haveSst) {
        quint32 total = 0;
        quint32 unique = 0;
        if (!sst.u32(&total) || !sst.u32(&unique))
            return fail(damagedFile());
        // Each string takes at least three bytes, so the count cannot promise more than the record holds.
        mSharedStrings.reserve(std::min<qint64>(unique, mStream.size() / 3));
        for (quint32 i = 0; i < unique; ++i) {
            QString text;
            if (!sst.string(&text))
                return fail(QStringLiteral("文件不是可以读取的Excel工作簿（共享文本已损坏）。"));
            mSharedStrings.append(std::move(text));
        }
    }
    return true;
}

QStringList BiffWorkbook::sheetNames() const {
    return mSheetNames;
}

namespace {

// The cells of one worksheet as its records give them. A formula whose result is a text has it in the STRING
// record that follows; a reference to a shared string that does not exist makes the sheet damaged.
class SheetCells {
public:
    SheetCells(const QStringList &sharedStrings, CellText::NumberCells &numbers)
        : mSharedStrings(sharedStrings)
        , mNumbers(numbers) {}

    // False when the record refers to a shared string that does not exist (missingStringRow() tells the row).
    bool read(const Record &record, Records &records) {
        const Bytes &body = record.body;
        switch (record.type) {
        case LabelSst:
            return sharedString(body);
        case Label:
        case RString:
            if (body.size >= 8)
                set(body.u16(0), body.u16(2), shortString(body, 6, true));
            break;
        case Number:
            if (body.size >= 14)
                set(body.u16(0), body.u16(2), mNumbers.text(body.f64(6), body.u16(4)));
            break;
        case Rk:
            if (body.size >= 10)
                set(body.u16(0), body.u16(2), mNumbers.text(rkValue(body.u32(6)), body.u16(4)));
            break;
        case MulRk:
            numbers(body);
            break;
        case Formula:
            formula(body);
            break;
        case String:
            formulaText(body, records);
            break;
        case BoolErr:
            if (body.size >= 8 && body.u8(7) == 0)
                set(body.u16(0), body.u16(2), body.u8(6) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            break;
        default:
            break;
        }
        return true;
    }

    bool tooLarge() const { return mTooLarge; }
    quint16 missingStringRow() const { return mMissingStringRow; }
    std::optional<Worksheet> build(const QString &name, QString *error) const { return mBuilder.build(name, error); }

private:
    void set(quint32 row, quint32 column, const QString &text) {
        if (!mBuilder.setCell(row, column, text))
            mTooLarge = true;
    }

    bool sharedString(const Bytes &body) {
        if (body.size < 10)
            return true;
        const quint32 i = body.u32(6);
        if (i >= quint32(mSharedStrings.size())) {
            mMissingStringRow = body.u16(0);
            return false;
        }
        set(body.u16(0), body.u16(2), mSharedStrings.at(i));
        return true;
    }

    // Several numbers of one row, each with its own format.
    void numbers(const Bytes &body) {
        const quint16 row = body.u16(0);
        const quint16 first = body.u16(2);
        const qint64 count = (body.size - 6) / 6;
        for (qint64 i = 0; i < count; ++i)
            set(row, quint32(first + i), mNumbers.text(rkValue(body.u32(4 + 6 * i + 2)), body.u16(4 + 6 * i)));
    }

    void formula(const Bytes &body) {
        mStringPending = false;
        if (body.size < 20)
            return;
        const quint16 row = body.u16(0);
        const quint16 column = body.u16(2);
        if (body.u16(12) != 0xFFFF) {
            set(row, column, mNumbers.text(body.f64(6), body.u16(4)));
        } else if (body.u8(6) == 0) { // a text result, in the STRING record that follows
            mPendingRow = row;
            mPendingColumn = column;
            mStringPending = true;
        } else if (body.u8(6) == 1) {
            set(row, column, body.u8(8) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        }
    }

    void formulaText(const Bytes &body, Records &records) {
        if (!mStringPending)
            return;
        mContinued.start(body);
        Record record;
        while (records.peekType() == Continue && records.next(&record))
            mContinued.append(record.body);
        QString text;
        if (mContinued.string(&text))
            set(mPendingRow, mPendingColumn, text);
        mStringPending = false;
    }

    const QStringList &mSharedStrings;
    CellText::NumberCells &mNumbers;
    SheetBuilder mBuilder;
    bool mTooLarge = false;
    quint16 mMissingStringRow = 0;
    bool mStringPending = false;
    quint32 mPendingRow = 0;
    quint16 mPendingColumn = 0;
    ContinuedRecord mContinued;
};

} // namespace

std::optional<Worksheet> BiffWorkbook::readSheet(int index, QString *error) {
    if (index < 0 || index >= mSheetNames.size()) {
        if (error)
            *error = QStringLiteral("工作簿中没有这个工作表。");
        return std::nullopt;
    }
    const QString &name = mSheetNames.at(index);
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("工作表“%1”已损坏：%2").arg(name, why);
        return std::nullopt;
    };
    Records records(mStream, mSheetOffsets.at(index));
    Record record;
    if (!records.next(&record) || record.type != Bof)
        return fail(QStringLiteral("找不到工作表的开头。"));

    SheetCells cells(mSharedStrings, mNumbers);
    // Embedded charts are sheets of their own inside the worksheet's records.
    int depth = 1;
    while (depth > 0 && !cells.tooLarge()) {
        if (!records.next(&record))
            return fail(QStringLiteral("记录不完整。"));
        if (record.type == Bof)
            ++depth;
        else if (record.type == Eof)
            --depth;
        else if (depth == 1 && !cells.read(record, records))
            return fail(QStringLiteral("第%1行引用了不存在的文本。").arg(cells.missingStringRow() + 1));
    }
    if (cells.tooLarge()) {
        if (error)
            *error = QStringLiteral("工作表“%1”的数据太多，无法读取。").arg(name);
        return std::nullopt;
    }
    return cells.build(name, error);
}
