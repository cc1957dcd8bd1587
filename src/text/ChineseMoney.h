#pragma once

#include "text/DecimalText.h"
#include "text/TextResult.h"

#include <QString>

// Amounts written in Chinese capital digits as contracts print them. No 元 and no 整 is written: the units digit
// stands alone, and a template that needs 元整 carries it beside its marker.

// The amount in yuan given as decimal text (normally written with two decimals, "1234.50"), rounded to the 分.
// "0" and "0.00" give 零; a negative amount gets 欠 in front. Write the amount with FormatNumberText(..., "0.00")
// first: any other zero (such as "0.001") writes no digit at all and gives an empty text, or 欠 alone when negative.
// Fails when the text is not a number or when the amount reaches 10 000 000 000 000 yuan, which the capital units
// cannot write.
TextResult<QString> MoneyToCapital(const QString &text);

// The same for an amount already read: rounded to the 分 first, so an amount that rounds to nothing gives 零 and
// carries no 欠. Exact for any length: only the capital units set the limit.
TextResult<QString> MoneyToCapital(const DecimalText &amount);

// An amount given in units of 10 000 yuan, written as that many 万 followed by the yuan below 10 000 taken from
// four decimals: 12.5 gives 壹拾贰万伍仟, 0.5 gives 零万伍仟. A negative amount gets 欠 in front. Fails for NaN,
// infinity and amounts of 10 000 000 000 000 yuan or more.
TextResult<QString> MoneyWanToCapital(double value);
// The same for an amount already read, exactly as held (no double between).
TextResult<QString> MoneyWanToCapital(const DecimalText &amount);
