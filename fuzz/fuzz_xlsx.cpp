// Feeds arbitrary bytes to the .xlsx path of the workbook reader. An input whose first byte is odd is taken as a
// ZIP archive as it is; otherwise it is cut into the XML parts of a workbook at the separator "\n#part\n", which
// are packed into a stored ZIP with correct checksums, so the mutations reach the XML readers instead of dying
// in the archive's checks.
#include "exchange/workbook/WorkbookReader.h"

#include <QByteArray>
#include <QList>

#include <zlib.h>

#include <cstdint>

namespace {

void put16(QByteArray &out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void put32(QByteArray &out, quint32 v) {
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

QByteArray storedZip(const QList<QPair<QByteArray, QByteArray>> &parts) {
    QByteArray out;
    QByteArray directory;
    for (const auto &[name, body] : parts) {
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, crc);
        put32(out, quint32(body.size()));
        put32(out, quint32(body.size()));
        put16(out, quint16(name.size()));
        put16(out, 0);
        out += name;
        out += body;

        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, crc);
        put32(directory, quint32(body.size()));
        put32(directory, quint32(body.size()));
        put16(directory, quint16(name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(parts.size()));
    put16(out, quint16(parts.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QByteArray package;
    if (data[0] & 1) {
        package = input;
    } else {
        static const QList<QByteArray> names = {"xl/workbook.xml",          "xl/_rels/workbook.xml.rels",
                                                "xl/sharedStrings.xml",     "xl/styles.xml",
                                                "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"};
        QList<QPair<QByteArray, QByteArray>> parts;
        qsizetype from = 0;
        for (const QByteArray &name : names) {
            const qsizetype at = input.indexOf("\n#part\n", from);
            parts.append({name, input.mid(from, at < 0 ? -1 : at - from)});
            if (at < 0)
                break;
            from = at + 7;
        }
        package = storedZip(parts);
    }
    WorkbookReader reader;
    if (reader.openData(package)) {
        const QStringList names = reader.sheetNames();
        for (int i = 0; i < names.size() && i < 8; ++i)
            (void)reader.readSheet(i);
    }
    return 0;
}
