#pragma once

#include <QString>

// Category codes: four digits for a root ("0001"), the root's code and four more digits for a child
// ("00030001"). Within a parent the next code is one above the highest, so gaps stay and the highest deleted
// code is issued again.
namespace CategoryCodes {
inline constexpr int PartDigits = 4;
inline constexpr int MaxPart = 9999;
// Category names are limited to this many GBK bytes (15 Chinese characters).
inline constexpr int NameBytes = 30;

// Names longer than NameBytes GBK bytes cut without splitting a character.
QString cutName(const QString &name);
} // namespace CategoryCodes

class CategoryStore;

// The code for a new category under the parent ("" for a new root). Shows the reason and returns "" when the
// codes cannot be read or the parent has no room left.
QString nextCategoryCode(const CategoryStore &store, const QString &parentCode);
