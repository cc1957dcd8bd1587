#include "text/DateText.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

QString quotedLiteral(const QString &text) {
    QString q = text;
    q.replace(u'\'', QStringLiteral("''"));
    return u'\'' + q + u'\'';
}

QString invalidDateMessage(const QString &text) {
    return QStringLiteral("“%1”不是有效的日期。").arg(text);
}

std::optional<QTime> readTime(const QRegularExpressionMatch &m, int first) {
    if (!m.hasCaptured(first))
        return QTime(0, 0);
    const int seconds = m.hasCaptured(first + 2) ? m.captured(first + 2).toInt() : 0;
    const QTime t(m.captured(first).toInt(), m.captured(first + 1).toInt(), seconds);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

} // namespace

QString ShortDateFormat() {
    return QLocale(QLocale::Chinese, QLocale::China).dateFormat(QLocale::ShortFormat);
}

QString ShortDateTimeFormat() {
    return QStringLiteral("H:mm:ss");
}

QString ToQtDateTimeFormat(const QString &format) {
    if (format.isEmpty())
        return ShortDateFormat() + u' ' + ShortDateTimeFormat();

    QString out;
    QString literal;
    const auto flush = [&out, &literal] {
        if (!literal.isEmpty())
            out += quotedLiteral(literal);
        literal.clear();
    };
    QChar lastToken; // m right after an hour means minutes
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'"' || c == u'\'') {
            const qsizetype end = format.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? format.size() : end;
            literal += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        const QChar lower = c.toLower();
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == lower)
            ++run;

        QString token;
        if (lower == u'y') {
            token = run <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
        } else if ((lower == u'm' && lastToken == u'h') || lower == u'n') {
            // "mm" after an hour, and "nn" anywhere, are minutes.
            token = run == 1 ? QStringLiteral("m") : QStringLiteral("mm");
        } else if (lower == u'm') {
            token = QString(qMin<qsizetype>(run, 4), u'M');
        } else if (lower == u'd') {
            token = QString(qMin<qsizetype>(run, 4), u'd');
        } else if (lower == u'h') {
            token = run == 1 ? QStringLiteral("H") : QStringLiteral("HH");
        } else if (lower == u's') {
            token = run == 1 ? QStringLiteral("s") : QStringLiteral("ss");
        } else if (lower == u'z') {
            token = run < 3 ? QStringLiteral("z") : QStringLiteral("zzz");
        }
        if (token.isEmpty()) {
            literal += format.mid(i, run);
        } else {
            flush();
            out += token;
            lastToken = lower;
        }
        i += run;
    }
    flush();
    return out;
}

QString DateTimeToText(const QDateTime &value, const QString &format) {
    if (!value.isValid())
        return QString();
    if (format.isEmpty()) {
        QString text = value.date().toString(ShortDateFormat());
        if (value.time() != QTime(0, 0))
            text += u' ' + value.time().toString(ShortDateTimeFormat());
        return text;
    }
    return QLocale::c().toString(value, ToQtDateTimeFormat(format));
}

TextResult<QDateTime> TextToDateTime(const QString &text, const QString &format) {
    const QString trimmed = text.trimmed();

    if (!format.isEmpty()) {
        const QDateTime byFormat = QLocale::c().toDateTime(trimmed, ToQtDateTimeFormat(format));
        if (byFormat.isValid())
            return TextResult<QDateTime>::success(byFormat);
    }

    static const QString time = QStringLiteral(R"((?:[ T]+(\d{1,2}):(\d{2})(?::(\d{2}))?)?)");
    struct Form {
        QRegularExpression pattern;
        int year, month, day;
    };
    static const Form forms[] = {
        {QRegularExpression(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2}))") + time + u'$'), 1, 2, 3},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})/(\d{1,2})/(\d{1,2}))") + time + u'$'), 1, 2, 3},
        {QRegularExpression(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{4}))") + time + u'$'), 3, 1, 2},
        {QRegularExpression(QStringLiteral(R"(^(\d{4})年(\d{1,2})月(\d{1,2})日)") + time + u'$'), 1, 2, 3},
    };
    for (const Form &form : forms) {
        const QRegularExpressionMatch m = form.pattern.match(trimmed);
        if (!m.hasMatch())
            continue;
        const QDate date(m.captured(form.year).toInt(), m.captured(form.month).toInt(), m.captured(form.day).toInt());
        const std::optional<QTime> timeOfDay = readTime(m, 4);
        if (!date.isValid() || !timeOfDay)
            break;
        return TextResult<QDateTime>::success(QDateTime(date, *timeOfDay));
    }
    return TextResult<QDateTime>::failure(invalidDateMessage(text));
}
