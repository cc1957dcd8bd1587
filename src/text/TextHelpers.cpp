#include "text/TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

QString PadLeftZeros(const QString &text, int width) {
    return text.size() >= width ? text : QString(width - text.size(), u'0') + text;
}

QString PadRightZeros(const QString &text, int width) {
    return text.size() >= width ? text : text + QString(width - text.size(), u'0');
}

QString MaskToFloatFormat(const QString &mask) {
    const qsizetype point = mask.indexOf(u'.');
    if (point < 0)
        return QStringLiteral("0");
    QString format = u'0' + mask.mid(point);
    format.replace(u'9', u'0');
    return format;
}

QString CleanNumberText(const QString &text) {
    QString s = text;
    s.remove(u' ');
    if (s == u"." || s == u".0")
        return QStringLiteral("0.0");
    if (s.endsWith(u'.'))
        s.chop(1);
    if (s.isEmpty())
        return QStringLiteral("0");
    return s;
}

qsizetype IndexOfText(const QStringList &list, const QString &text, bool prefix) {
    if (prefix && text.isEmpty())
        return -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (prefix ? list.at(i).startsWith(text) : list.at(i) == text)
            return i;
    }
    return -1;
}

int CountSubText(const QString &sub, const QString &text) {
    if (sub.isEmpty())
        return 0;
    int count = 0;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(sub, from); at >= 0; at = text.indexOf(sub, from)) {
        ++count;
        from = at + sub.size();
    }
    return count;
}

TextResult<qint64> CopyFileContent(const QString &source, const QString &dest) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return TextResult<qint64>::failure(
            QStringLiteral("无法打开文件“%1”：%2").arg(QDir::toNativeSeparators(source), in.errorString()));

    // The copy goes to a temporary file that replaces dest only when complete: a failed copy leaves the old dest,
    // and a copy of a file onto itself reads the whole source before anything is replaced.
    QSaveFile out(dest);
    out.setDirectWriteFallback(false);
    // Unbuffered, so a write the disk refuses (full, over quota) fails here: QSaveFile does not notice a failed
    // flush of its buffer and would commit a short or empty copy.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return TextResult<qint64>::failure(
            QStringLiteral("无法创建文件“%1”：%2").arg(QDir::toNativeSeparators(dest), out.errorString()));

    qint64 copied = 0;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return TextResult<qint64>::failure(
                QStringLiteral("读取文件“%1”时出错：%2").arg(QDir::toNativeSeparators(source), in.errorString()));
        if (got == 0)
            break;
        if (out.write(buffer, got) != got)
            return TextResult<qint64>::failure(
                QStringLiteral("写入文件“%1”时出错：%2").arg(QDir::toNativeSeparators(dest), out.errorString()));
        copied += got;
    }
    if (!out.commit())
        return TextResult<qint64>::failure(
            QStringLiteral("写入文件“%1”时出错：%2").arg(QDir::toNativeSeparators(dest), out.errorString()));
    return TextResult<qint64>::success(copied);
}
