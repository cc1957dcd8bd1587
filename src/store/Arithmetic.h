#pragma once

#include "text/DecimalText.h"

#include <QList>
#include <QString>

#include <optional>

// Evaluates the arithmetic left of a formula once its references are replaced by values. The language is the one
// the formulas were first written in (the desktop database engine's expressions): decimals, + - * / ^, integer
// division \, the Mod operator, unary signs, parentheses and the functions Round, Int, Fix, Abs, Sgn and Sqr
// (names in any case). "/" divides without truncation. No other names, no data access.
//
// Numbers are computed as exact decimals: sums, differences and products of any length are exact, so amounts
// beyond what a double holds keep every 分. A quotient or square root that does not end keeps 34 significant
// digits; only a power with a fractional exponent goes through a double (its result is not a decimal anyway).
namespace Arithmetic {

struct Result {
    std::optional<double> value; // the exact result as the nearest double
    QString error;               // why there is no value, in words for the user
    std::optional<DecimalText> exact;
};

// The text of an expression put together from pieces, some of them values that were already read: a value's
// number is taken as it is, not read again from its text, wherever the text reads it as one number (a value
// glued to digits of its neighbours, as in "[A][B]", is read as the text says).
class Expression {
public:
    Expression() = default;
    explicit Expression(const QString &text)
        : mText(text) {}

    void append(const QString &text);
    // The value's text, and the number it stands for.
    void append(const QString &text, const DecimalText &number);

    const QString &text() const { return mText; }
    // The number of a value whose digits span exactly these characters, if one was appended there.
    std::optional<DecimalText> numberAt(qsizetype position, qsizetype length) const;

private:
    struct Span {
        qsizetype position;
        qsizetype length;
        DecimalText number; // without its sign: a sign is read as an operator
    };
    QString mText;
    QList<Span> mSpans;
};

Result compute(const Expression &expression);
Result compute(const QString &expression);
std::optional<double> evaluate(const QString &expression);

} // namespace Arithmetic
