#pragma once

#include "documents/PackageFiles.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The case folders of optional clauses (tests/documents/clauses/<case>/): a template written in a small
// format-neutral notation, the record's values, and the text the contract must read. The same notation is built
// into a .docx and an .odt package, and read back from a filled one, so one expected text serves every format.
//
// template.txt and expected.txt, one line per paragraph:
//   页眉: text          a paragraph of the page header
//   | a | b |           a table row (rows in a row form one table); " // " parts a cell into paragraphs
//   * text              an item of a numbered list
//   text                a body paragraph; inside it "¦" ends a run (the next run is bold), "#(a // b)" is a text
//                       box anchored there with paragraphs a and b, "^(a)" a footnote with the text a
// values.txt: one indicator a line, "name=value" (the value may be empty). A folder may hold several records:
// values-<variant>.txt with expected-<variant>.txt. expected-…-odt.txt or expected-…-docx.txt stand in where a
// format reads differently. check.txt, when there, is what "检查模板" says of the template's clauses.
namespace ClauseCases {

struct Case {
    QString name; // folder, and "/variant" when there is one
    QString variant;
    QStringList templateLines;
    QList<QPair<QString, QString>> values; // in the order given
    QString folder;
};

QList<Case> load(const QString &root);
// The expected lines of a case for "docx" or "odt".
QStringList expected(const Case &c, const QString &format);

// What check.txt says (empty without one).
QStringList checkLines(const Case &c);

// The marker pairs and the condition values of a case, as generation makes them.
QList<QPair<QString, QString>> pairs(const Case &c);
QHash<QString, QString> conditions(const Case &c);

// A package of the template in the given format ("docx" or "odt").
PackageFiles::Entries build(const QStringList &lines, const QString &format);
// A filled package read back in the notation; empty with a reason in *error when its structure is damaged (a table
// without rows, a row without cells, a cell or text box without a paragraph, an empty list item).
QStringList render(const QString &path, const QString &format, QString *error);

} // namespace ClauseCases
