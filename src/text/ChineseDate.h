#pragma once

#include "text/TextResult.h"

#include <QDate>
#include <QString>

// Dates written in Chinese numerals as contracts print them: 二○一二年二月十五日.

// A year read as a number and written digit by digit ("2012" gives 二○一二, "0" gives ○); a two-digit number is
// written with 十 like a month. Fails when the text is not a number.
TextResult<QString> YearToChinese(const QString &text);

// A month or day read as a number (a leading zero is allowed) and written with 十: "01" gives 一, "10" gives 十,
// "31" gives 三十一, "0" gives an empty text. Fails when the text is not a number.
TextResult<QString> MonthDayToChinese(const QString &text);

// Year + "年" + month + "月" + day + "日". An invalid date gives an empty text.
QString DateToChinese(const QDate &date);
