// Feeds arbitrary bytes to the .xls record reader: the compound file, the workbook globals and every sheet. The
// compound-file signature is put in front so that the inputs reach the sector tables.
#include "exchange/workbook/BiffWorkbook.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray content("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    content.append(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    BiffWorkbook::Outcome outcome;
    if (const auto book = BiffWorkbook::open(content, &error, &outcome)) {
        const int sheets = int(book->sheetNames().size());
        for (int i = 0; i < sheets && i < 16; ++i)
            (void)book->readSheet(i, &error);
    }
    return 0;
}
