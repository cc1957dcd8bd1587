#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Small helpers over ZIP packages for the tests of .docx/.odt filling: write a package from its entries, read
// one entry back, list the entries.
namespace PackageFiles {

using Entries = QList<QPair<QString, QByteArray>>;

// Entries in the given order; "mimetype" is stored uncompressed, the rest deflated.
bool write(const QString &path, const Entries &entries);
// Empty and ok == false when the package or the entry cannot be read.
QByteArray read(const QString &path, const QString &name, bool *ok = nullptr);
QStringList names(const QString &path);
// The compression method of an entry (0 stored, 8 deflated), -1 when unknown.
int compression(const QString &path, const QString &name);

// The text of an XML part in document order, one line per paragraph (w:p / text:p / text:h), line breaks as "\n"
// inside a line. Paragraphs inside a paragraph (text boxes, notes) get lines of their own, before their outer one.
QStringList paragraphs(const QByteArray &xml);

} // namespace PackageFiles
