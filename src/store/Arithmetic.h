#pragma once

#include <QString>

#include <optional>

// Evaluates the arithmetic left of a formula once its references are replaced by values. The language is the one
// the formulas were first written in (the desktop database engine's expressions): decimals, + - * / ^, integer
// division \, the Mod operator, unary signs, parentheses and the functions Round, Int, Fix, Abs, Sgn and Sqr
// (names in any case). "/" divides without truncation. No other names, no data access.
namespace Arithmetic {

struct Result
{
    std::optional<double> value;
    QString error; // why there is no value, in words for the user
};

Result compute(const QString &expression);
std::optional<double> evaluate(const QString &expression);

} // namespace Arithmetic
