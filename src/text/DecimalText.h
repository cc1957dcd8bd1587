#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <optional>

// An exact decimal number held as its digits, so that amounts are rounded on the decimal value the user wrote or
// sees and never on the nearest binary double (1.005 rounds to 1.01, 2.675 to 2.68). Sums, differences and
// products are exact whatever their length; a quotient or a square root that does not end is cut to the number of
// significant digits the caller asks for.
class DecimalText {
public:
    // Reads a number written with "." as the decimal point, an optional sign and an optional exponent
    // ("12", "-0.5", ".5", "3.", "1e3"); blanks around it are ignored. Anything else gives nothing.
    static std::optional<DecimalText> parse(QStringView text);
    // The decimal value of a double as shown with the given number of significant digits (15 shows what a user
    // typed or what a sum should be: 1.15 * 3 gives 3.45, not 3.4499999999999997). Infinity and NaN give nothing.
    static std::optional<DecimalText> fromDouble(double value, int significantDigits = 15);
    static DecimalText fromInteger(qint64 value);

    // Rounded to the given number of decimals, halves away from zero.
    DecimalText rounded(int decimals) const;
    // Rounded to the given number of decimals, a half to the even neighbour.
    DecimalText roundedHalfEven(int decimals) const;
    // Rounded to the given number of significant digits (at least one), halves away from zero.
    DecimalText roundedSignificant(int digits) const;
    // The next whole number towards minus infinity, and the whole part (towards zero).
    DecimalText floor() const;
    DecimalText truncated() const;

    DecimalText operator-() const;
    friend DecimalText operator+(const DecimalText &a, const DecimalText &b);
    friend DecimalText operator-(const DecimalText &a, const DecimalText &b);
    friend DecimalText operator*(const DecimalText &a, const DecimalText &b);
    // The quotient, exact when it ends within the significant digits, otherwise rounded to them (halves away from
    // zero). Nothing for a zero divisor.
    std::optional<DecimalText> dividedBy(const DecimalText &divisor, int significantDigits) const;
    // The quotient cut to a whole number towards zero, and what is left over (it takes the dividend's sign); both
    // exact. Nothing for a zero divisor.
    std::optional<DecimalText> wholeQuotient(const DecimalText &divisor) const;
    std::optional<DecimalText> remainder(const DecimalText &divisor) const;
    // The square root, exact when it ends within the significant digits, otherwise rounded to them. Nothing for a
    // negative number.
    std::optional<DecimalText> squareRoot(int significantDigits) const;

    // Compares values, not the way they are written: 1.5 equals 1.50.
    friend bool operator==(const DecimalText &a, const DecimalText &b) { return compare(a, b) == 0; }
    friend std::strong_ordering operator<=>(const DecimalText &a, const DecimalText &b) { return compare(a, b) <=> 0; }

    bool isNegative() const { return mNegative && !isZero(); }
    bool isZero() const;
    bool isInteger() const;
    DecimalText absolute() const;
    // Digits before the point without leading zeros ("0" for none).
    QString integerDigits() const;
    // All digits after the point as held (a rounded value holds exactly its decimals).
    QString fractionDigits() const;
    int decimals() const { return mScale; }
    // "-12.50"; a zero never carries a sign.
    QString toString() const;
    // The nearest double, for the few places that need one (a power with a fractional exponent); infinity when
    // the number is beyond a double's range.
    double toDouble() const;

private:
    enum class Rounding { Down, Up, HalfUp, HalfEven };
    static int compare(const DecimalText &a, const DecimalText &b);
    static DecimalText sum(const DecimalText &a, const DecimalText &b, bool subtract);
    // Drops the given number of trailing digits (negative adds zeros) with the rounding applied to the magnitude.
    DecimalText cut(int decimals, Rounding rounding) const;
    // The same value without zeros after the last significant decimal.
    DecimalText withoutTrailingZeros() const;
    // Digits of the magnitude with the scale raised to the given one.
    QString digitsAtScale(int scale) const;

    bool mNegative = false;
    QString mDigits = QStringLiteral("0"); // value = mDigits * 10^-mScale
    int mScale = 0;
};
