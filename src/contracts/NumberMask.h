#pragma once

#include <QString>

// The entry mask of a number indicator ("99999999999.99"): every "9" is a digit place the user may leave empty,
// every other character a literal shown in its place. Qt's mask language reads "9" as a required digit and has
// more special characters, so masks are translated before they reach an edit.
namespace NumberMask {

// The mask used when the indicator has none: whole numbers of up to ten digits.
inline const QString DefaultMask = QStringLiteral("9999999999");

// The same mask in Qt's language: "9" becomes the optional digit "0", Qt's special characters are escaped.
QString toQtInputMask(const QString &mask);

// Whether a stored value can be shown in the mask without losing a character: digits and at most one point,
// no more whole digits than the mask has places before its point and no more decimals than after it. Values
// that do not fit (a negative result, more decimals than the mask) are edited without the mask.
bool fits(const QString &mask, const QString &value);

} // namespace NumberMask
