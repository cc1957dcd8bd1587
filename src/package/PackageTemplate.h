#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

// Fills the markers of a .docx or .odt template without the office: the package is read, the parts that hold
// text (body, tables, headers, footers, text boxes, footnotes and endnotes) are filled, and the new package is
// written beside the target and then put in its place, so a failure never leaves a half-written document.
namespace PackageTemplate {

enum class Format { None, Docx, Odt };

// The package a file name stands for (".docx" / ".odt", letter case ignored); None for anything else.
Format formatOf(const QString &path);

struct Result {
    bool ok = false;
    QString error;  // for the user, when !ok
    int filled = 0; // markers replaced in the whole document
};

// pairs: (marker, replacement) in SortIdx order, as the office path takes them. A marker is matched ignoring
// letter case, also when the word processor split it over several runs of one paragraph; the replacement takes
// the formatting of the marker's first character, its line breaks become line breaks of the document. Markers that
// name no pair stay as they are. A replacement that holds the marker of a later pair is filled in turn.
// Optional clauses ([<如果:指标名>] ... [<否则>] ... [<结束>]) are settled first, on the template's own text, by
// conditions: indicator name -> its value without the unit (empty: the pairs' replacements stand in).
Result fill(const QString &templatePath, const QString &outputPath, const QList<QPair<QString, QString>> &pairs,
            const QHash<QString, QString> &conditions = {});

// A template read once and filled for many documents (a batch): the package is read and its text parts unpacked
// when it is made, each fill() parses and fills its own copy of them and writes the new package. fill() may run on
// several threads at once. A template that cannot be read gives the same failure from every fill() as the free
// function above gives.
class Prepared {
public:
    explicit Prepared(const QString &templatePath);
    ~Prepared();
    Prepared(const Prepared &) = delete;
    Prepared &operator=(const Prepared &) = delete;

    const QString &templatePath() const;
    Result fill(const QString &outputPath, const QList<QPair<QString, QString>> &pairs,
                const QHash<QString, QString> &conditions = {}) const;

private:
    struct Data;
    std::unique_ptr<Data> d;
};

// Reads a .docx/.odt package as filling would, without writing anything: the archive opens, the main part is
// there, and every part that holds text reads and is well-formed XML. error names the first fault for the user.
Result verify(const QString &path);

// The same on one XML part held in memory (document.xml, content.xml, ...). False, with error set, when the part
// is not well-formed; xml is then unchanged.
bool fillPart(QByteArray &xml, Format format, const QList<QPair<QString, QString>> &pairs, int *filled = nullptr,
              QString *error = nullptr, const QHash<QString, QString> &conditions = {});

// The optional clauses of a plain text settled as fill() settles them, each line taken as a paragraph.
QString settleClauses(const QString &text, const QHash<QString, QString> &conditions);

} // namespace PackageTemplate
