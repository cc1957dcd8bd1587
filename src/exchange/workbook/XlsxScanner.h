#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

// A direct scan of the two large parts of an .xlsx package, the shared strings and the worksheet's cells, over
// the XML bytes. It understands the plain form spreadsheet programs write (unprefixed element names, UTF-8,
// the five named entities and character references); anything else (comments, CDATA, a DOCTYPE, prefixes,
// unknown elements) makes it give up with Unsupported, and the caller reads the part with a full XML parser,
// which also reports real damage.
namespace XlsxScanner {

enum class Result { Done, Unsupported, Failed };

// One <c> element of the sheet data. Row and column count from 0 (the same inference for missing references as
// the XML parser path: a cell without a reference follows the previous one).
struct Cell {
    qint64 row = 0;
    qint64 column = 0;
    QByteArrayView type; // the t attribute, empty when absent
    qint64 style = 0;    // the s attribute
    bool hasValue = false;
    QByteArrayView value; // the raw bytes of <v>, entities not yet decoded
    bool hasInline = false;
    QString inlineText; // <is>, already decoded
};

// Appends the shared strings (escapes _xHHHH_ not yet decoded).
Result sharedStrings(const QByteArray &xml, QStringList *strings);

// Calls visit for every cell in document order; visit returns Done to go on, or the result to stop with.
Result sheet(const QByteArray &xml, const std::function<Result(const Cell &)> &visit);

// The text of raw XML character data (entities decoded, line ends normalised); false when it holds anything
// the scanner does not understand.
bool decodeText(QByteArrayView raw, QString *text);

} // namespace XlsxScanner
