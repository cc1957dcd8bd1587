#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// An exact decimal number held as its digits, so that amounts are rounded on the decimal value the user wrote or
// sees and never on the nearest binary double (1.005 rounds to 1.01, 2.675 to 2.68).
class DecimalText {
public:
    // Reads a number written with "." as the decimal point, an optional sign and an optional exponent
    // ("12", "-0.5", ".5", "3.", "1e3"); blanks around it are ignored. Anything else gives nothing.
    static std::optional<DecimalText> parse(QStringView text);
    // The decimal value of a double as shown with the given number of significant digits (15 shows what a user
    // typed or what a sum should be: 1.15 * 3 gives 3.45, not 3.4499999999999997). Infinity and NaN give nothing.
    static std::optional<DecimalText> fromDouble(double value, int significantDigits = 15);

    // Rounded to the given number of decimals, halves away from zero.
    DecimalText rounded(int decimals) const;

    bool isNegative() const { return mNegative && !isZero(); }
    bool isZero() const;
    DecimalText absolute() const;
    // Digits before the point without leading zeros ("0" for none).
    QString integerDigits() const;
    // All digits after the point as held (a rounded value holds exactly its decimals).
    QString fractionDigits() const;
    int decimals() const { return mScale; }
    // "-12.50"; a zero never carries a sign.
    QString toString() const;

private:
    bool mNegative = false;
    QString mDigits = QStringLiteral("0"); // value = mDigits * 10^-mScale
    int mScale = 0;
};
