// Feeds arbitrary bytes to the scan of .xls records that FreeXL skips (formula results, booleans). The
// compound-file signature is put in front so that the inputs reach the sector tables.
#include "BiffExtraCells.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray content("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    content.append(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)BiffExtraCells::read(content);
    return 0;
}
