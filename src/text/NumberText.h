#pragma once

#include "text/DecimalText.h"
#include "text/TextResult.h"

#include <QString>

// Numbers written as text: "." as the decimal point, no thousands separators, halves rounded away from zero on
// the decimal value shown.

// Reads a number typed or stored as text ("12.5", "-3", ".5", "1e3", blanks around it allowed). Fails with
// "“abc”不是有效的数值。" for anything else, including an empty text.
TextResult<double> TextToNumber(const QString &text);

// Writes a number with a display format such as "0", "0.00", "0.0000" or "0.##": every "0" after the point is a
// decimal always written, every "#" one written only when it is not a trailing zero; the "0"s before the point
// are the least number of integer digits. An empty format writes up to 15 significant digits without trailing
// zeros. A result that rounds to zero carries no minus sign. NaN and infinity give "NAN", "INF" and "-INF".
QString FormatNumber(double value, const QString &format);

// A number written with a display format, and the value the written text stands for (the number rounded to the
// format's decimals), so that what is shown and what is computed further are the same number.
struct WrittenNumber {
    QString text;
    DecimalText value;
};
WrittenNumber WriteNumber(const DecimalText &value, const QString &format);
QString FormatNumber(const DecimalText &value, const QString &format);

// The same for a number given as text, rounded exactly on its decimal digits ("2.675" with "0.00" gives 2.68).
// Fails like TextToNumber when the text is not a number.
TextResult<QString> FormatNumberText(const QString &text, const QString &format);

// The error text of a value that is not a number, shared by every reader of numbers.
QString NotANumberMessage(const QString &text);
