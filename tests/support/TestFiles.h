#pragma once

#include <QByteArray>
#include <QString>

// File chores the tests share: fixtures written and results read back.

// The file's text as UTF-8; empty when it cannot be read.
QString readText(const QString &path);
// Writes text as UTF-8 over the file; the folder must exist.
bool writeText(const QString &path, const QString &text);
// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes content over the file, making its folder first.
bool writeFile(const QString &path, const QByteArray &content);
// A digest of the file's content (hex); empty when it cannot be read. Equal digests mean equal contents.
QByteArray fileHash(const QString &path);
