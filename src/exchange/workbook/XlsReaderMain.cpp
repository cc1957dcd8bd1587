// vantrel_xlsread <file>: reads an .xls workbook with FreeXL in a process of its own, so that a damaged or crafted
// file that trips the library can only end this process, never the program. The result goes to standard output.
#include "exchange/workbook/XlsHelperProtocol.h"
#include "exchange/workbook/XlsWorkbook.h"

#include <QCoreApplication>
#include <QFile>

using namespace XlsHelperProtocol;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 2)
        return 2;
    QFile output;
    if (!output.open(stdout, QIODevice::WriteOnly))
        return 2;
    QDataStream out(&output);
    out.setVersion(QDataStream::Qt_6_4);
    out << Magic;

    QString error;
    const auto book = XlsWorkbook::open(arguments.at(1), &error);
    out << bool(book) << error;
    if (!book)
        return 0;
    const QStringList names = book->sheetNames();
    out << names;
    for (int i = 0; i < names.size(); ++i) {
        QString sheetError;
        const auto sheet = book->readSheet(i, &sheetError);
        out << bool(sheet) << sheetError;
        if (sheet)
            out << *sheet;
    }
    return 0;
}
