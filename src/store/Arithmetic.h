#pragma once

#include <QString>

#include <optional>

// Evaluates the arithmetic left of a formula once its references are replaced by values:
// decimals, + - * / ^, unary signs and parentheses, with true division. No names, no functions, no data access.
namespace Arithmetic {
std::optional<double> evaluate(const QString &expression);
}
