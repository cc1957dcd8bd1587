#include "text/GbkText.h"

#include <QStringEncoder>

namespace {

class GbkMeter {
public:
    GbkMeter()
        : mEncoder("GBK", QStringConverter::Flag::Stateless) {}

    // Bytes of one character (one code point, which may be a surrogate pair).
    qsizetype bytesOf(QStringView character) {
        if (mEncoder.isValid())
            return QByteArray(mEncoder.encode(character)).size();
        // Without a converter: ASCII is one byte, a character of GBK two, anything beyond it becomes "?".
        if (character.size() > 1)
            return 1;
        return character.front().unicode() < 0x80 ? 1 : 2;
    }

private:
    QStringEncoder mEncoder;
};

qsizetype characterLength(const QString &text, qsizetype at) {
    return text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate() ? 2 : 1;
}

} // namespace

qsizetype GbkByteLength(const QString &text) {
    GbkMeter meter;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = characterLength(text, i);
        bytes += meter.bytesOf(QStringView(text).mid(i, n));
        i += n;
    }
    return bytes;
}

QString GbkLeft(const QString &text, qsizetype maxBytes) {
    GbkMeter meter;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n = characterLength(text, i);
        const qsizetype b = meter.bytesOf(QStringView(text).mid(i, n));
        if (bytes + b > maxBytes)
            break;
        bytes += b;
        i += n;
    }
    return text.left(i);
}
