#pragma once

#include <QString>

// Helpers for the few places where user text becomes part of a pattern rather than a plain bound value.
namespace SqlText {
// Escapes '%', '_' and '\' for a LIKE pattern written with ESCAPE '\'.
QString escapeLike(const QString &text);
// "%text%" with wildcards of the text escaped: matches values that contain the text literally.
QString containsPattern(const QString &text);
// "text%" with wildcards of the text escaped: matches values that start with the text literally.
QString prefixPattern(const QString &text);
// Accepts only the names of value columns ("Data1" .. "Data80"); column names cannot be bound as values.
bool isValueColumn(const QString &name);
} // namespace SqlText
