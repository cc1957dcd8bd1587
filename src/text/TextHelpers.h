#pragma once

#include "text/TextResult.h"

#include <QString>
#include <QStringList>

// Small text helpers shared by the windows. Lengths count characters (a Chinese character is one), comparisons
// are exact and case-sensitive.

// The text preceded by "0"s up to the width; never cut ("7", 4 gives "0007"; "", 3 gives "000").
QString PadLeftZeros(const QString &text, int width);
// The text followed by "0"s up to the width; never cut ("5", 4 gives "5000").
QString PadRightZeros(const QString &text, int width);

// The display format of a number entry mask: "99999999999.99" gives "0.00", a mask without a point gives "0".
// Characters after the point other than "9" are kept (".##" gives "0.##").
QString MaskToFloatFormat(const QString &mask);

// Turns the text of a masked number entry into a text that reads as a number: blanks removed, "." and ".0" give
// "0.0", a trailing point is dropped, nothing at all gives "0". Other characters are left for the reader to
// refuse.
QString CleanNumberText(const QString &text);

// Index of the first item equal to the text (prefix false) or beginning with it (prefix true; an empty text then
// matches nothing); -1 when none does.
qsizetype IndexOfText(const QStringList &list, const QString &text, bool prefix);

// Non-overlapping occurrences of sub in text, counted from the left ("aa" in "aaaa" is 2); an empty sub gives 0.
int CountSubText(const QString &sub, const QString &text);

// Copies every byte of source into dest, replacing dest if it exists. The copy is written beside dest and put in
// its place only when complete, so a failure leaves an existing dest as it was. Gives the number of bytes copied.
TextResult<qint64> CopyFileContent(const QString &source, const QString &dest);
