// Feeds arbitrary bytes to the .xls path of the workbook reader. FreeXL only reads files, so every input goes
// through one file in memory-backed storage.
#include "exchange/workbook/WorkbookReader.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const QString path = QStringLiteral("/dev/shm/vantrel-fuzz-xls-%1.xls").arg(getpid());
    // The compound-file signature sends the reader to FreeXL; without it the input would be refused unread.
    QByteArray content("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    content.append(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(content);
    }
    WorkbookReader reader;
    if (reader.open(path)) {
        const QStringList names = reader.sheetNames();
        for (int i = 0; i < names.size() && i < 8; ++i)
            (void)reader.readSheet(i);
    }
    return 0;
}
