#pragma once

#include <QString>

// Lengths in bytes of the GBK code page (code page 936), where names are limited in bytes: a Chinese character
// takes two bytes, an ASCII character one, a character GBK cannot hold one (it is stored as "?").

qsizetype GbkByteLength(const QString &text);

// The longest beginning of the text that takes at most maxBytes bytes, never splitting a character
// (20 Chinese characters cut at 30 bytes give the first 15).
QString GbkLeft(const QString &text, qsizetype maxBytes);
