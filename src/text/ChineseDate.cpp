#include "text/ChineseDate.h"

#include "text/DecimalText.h"
#include "text/NumberText.h"

#include <array>

namespace {

constexpr std::array<char16_t, 10> smallDigits = {u'○', u'一', u'二', u'三', u'四', u'五', u'六', u'七', u'八', u'九'};

TextResult<QString> numeralOf(const QString &text, bool monthOrDay) {
    const std::optional<DecimalText> number = DecimalText::parse(text);
    if (!number)
        return TextResult<QString>::failure(NotANumberMessage(text));

    QString result;
    for (QChar digit : number->absolute().rounded(0).integerDigits())
        result += QChar(smallDigits[digit.digitValue()]);
    if (result.size() == 2)
        result.insert(1, u'十');
    if (result.startsWith(u"一十"))
        result.remove(0, 1);
    if (monthOrDay && result.endsWith(u'○'))
        result.chop(1);
    return TextResult<QString>::success(result);
}

} // namespace

TextResult<QString> YearToChinese(const QString &text) {
    return numeralOf(text, false);
}

TextResult<QString> MonthDayToChinese(const QString &text) {
    return numeralOf(text, true);
}

QString DateToChinese(const QDate &date) {
    if (!date.isValid())
        return QString();
    // Each part is a number here, so none of the conversions can fail.
    return YearToChinese(QString::number(date.year())).value + u'年' +
           MonthDayToChinese(QString::number(date.month())).value + u'月' +
           MonthDayToChinese(QString::number(date.day())).value + u'日';
}
