#include "exchange/workbook/CellText.h"
#include "exchange/workbook/WorkbookReader.h"
#include "exchange/workbook/XlsxScanner.h"
#include "exchange/workbook/XlsxWorkbook.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

class TestWorkbookReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void numberText_data();
    void numberText();
    void serialText_data();
    void serialText();
    void dateFormat_data();
    void dateFormat();
    void cellReference_data();
    void cellReference();
    void basicWorkbook_data();
    void basicWorkbook();
    void corners_data();
    void corners();
    void date1904();
    void longTexts();
    void xmlText_data();
    void xmlText();
    void scanWhatLibreOfficeWrites();
    void scanSharedStrings_data();
    void scanSharedStrings();
    void scanLeavesTheUnusual_data();
    void scanLeavesTheUnusual();
    void formulaResults_data();
    void formulaResults();
    void damagedFiles_data();
    void damagedFiles();
    void numbersAsStored_data();
    void numbersAsStored();

private:
    static QString data(const QString &name) { return QStringLiteral(EXCHANGE_TEST_DATA "/") + name; }
};

void TestWorkbookReader::numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 3.0 << u"3"_qs;
    QTest::newRow("fifteen digits") << 123456789012345.0 << u"123456789012345"_qs;
    QTest::newRow("binary fraction") << 0.1 << u"0.1"_qs;
    QTest::newRow("sum noise cut at 15 digits") << 0.1 + 0.2 << u"0.3"_qs;
    QTest::newRow("pi") << 3.14159265358979 << u"3.14159265358979"_qs;
    QTest::newRow("negative") << -2.5 << u"-2.5"_qs;
    QTest::newRow("zero") << 0.0 << u"0"_qs;
    QTest::newRow("negative zero") << -0.0 << u"0"_qs;
    QTest::newRow("large") << 1.5e20 << u"1.5E20"_qs;
    QTest::newRow("small") << 1e-7 << u"1E-7"_qs;
    QTest::newRow("sixteen digits rounded") << 1234567890123456.0 << u"1.23456789012346E15"_qs;
    QTest::newRow("exact half rounded away from zero") << 35.51861572265625 << u"35.5186157226563"_qs;
    QTest::newRow("trailing zeros of an integer") << 1200.0 << u"1200"_qs;
    QTest::newRow("largest without exponent") << 999999999999999.0 << u"999999999999999"_qs;
    QTest::newRow("first with exponent") << 1e15 << u"1E15"_qs;
    QTest::newRow("smallest without exponent") << 0.0001 << u"0.0001"_qs;
    QTest::newRow("negative small") << -0.00001234 << u"-1.234E-5"_qs;
    QTest::newRow("subnormal") << 4.0660660388780096e-310 << u"4.06606603887801E-310"_qs;
}

void TestWorkbookReader::numberText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(CellText::fromNumber(value), text);
}

void TestWorkbookReader::serialText_data() {
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << 45356.0 << false << u"2024/3/5"_qs;
    QTest::newRow("date and time") << 45356.5730324074 << false << u"2024/3/5 13:45:10"_qs;
    QTest::newRow("midnight leaves the time out") << 45291.0 << false << u"2023/12/31"_qs;
    QTest::newRow("rounds to the second") << 45356.99999999 << false << u"2024/3/6"_qs;
    QTest::newRow("before the false leap day") << 59.0 << false << u"1900/2/28"_qs;
    QTest::newRow("after the false leap day") << 61.0 << false << u"1900/3/1"_qs;
    QTest::newRow("time of day only") << 0.25 << false << u"6:00:00"_qs;
    QTest::newRow("1904 system") << 0.0 << true << u"1904/1/1"_qs;
    QTest::newRow("out of range") << 1e12 << false << QString();
}

void TestWorkbookReader::serialText() {
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    QFETCH(QString, text);
    QCOMPARE(CellText::fromSerial(serial, date1904), text);
}

void TestWorkbookReader::dateFormat_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("isDate");
    QTest::newRow("built-in date") << 14 << QString() << true;
    QTest::newRow("built-in date and time") << 22 << QString() << true;
    QTest::newRow("built-in Chinese date") << 31 << QString() << true;
    QTest::newRow("built-in number") << 2 << QString() << false;
    QTest::newRow("escaped dashes") << -1 << u"yyyy\\-mm\\-dd"_qs << true;
    QTest::newRow("quoted Chinese") << -1 << u"yyyy\"年\"m\"月\"d\"日\""_qs << true;
    QTest::newRow("elapsed hours") << -1 << u"[h]:mm:ss"_qs << true;
    QTest::newRow("colours are not days") << -1 << u"[Red]0.00;[Blue]\\-0.00"_qs << false;
    QTest::newRow("quoted letters are not days") << -1 << u"0.00\" days\""_qs << false;
    QTest::newRow("general") << -1 << u"General"_qs << false;
    QTest::newRow("text") << -1 << u"@"_qs << false;
}

void TestWorkbookReader::dateFormat() {
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(bool, isDate);
    QCOMPARE(XlsxWorkbook::isDateFormat(id, code), isDate);
}

// What both workbook formats accept as a cell reference; anything else leaves the cell where it follows on.
void TestWorkbookReader::cellReference_data() {
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<qint64>("row");
    QTest::addColumn<qint64>("column");
    QTest::newRow("first cell") << QByteArray("A1") << qint64(0) << qint64(0);
    QTest::newRow("lower case") << QByteArray("b12") << qint64(11) << qint64(1);
    QTest::newRow("last cell of a sheet") << QByteArray("XFD1048576") << qint64(1048575) << qint64(16383);
    QTest::newRow("four letters") << QByteArray("AAAA3") << qint64(2) << qint64(18278);
    QTest::newRow("five letters") << QByteArray("AAAAA3") << qint64(-1) << qint64(-1);
    QTest::newRow("row zero") << QByteArray("A0") << qint64(-1) << qint64(-1);
    QTest::newRow("no row") << QByteArray("AB") << qint64(-1) << qint64(-1);
    QTest::newRow("no column") << QByteArray("12") << qint64(-1) << qint64(-1);
    QTest::newRow("signed row") << QByteArray("A+1") << qint64(-1) << qint64(-1);
    QTest::newRow("trailing letter") << QByteArray("A1B") << qint64(-1) << qint64(-1);
    QTest::newRow("row beyond 15 digits") << QByteArray("A1234567890123456") << qint64(-1) << qint64(-1);
}

void TestWorkbookReader::cellReference() {
    QFETCH(QByteArray, reference);
    QFETCH(qint64, row);
    QFETCH(qint64, column);
    qint64 readRow = -1;
    qint64 readColumn = -1;
    QCOMPARE(CellText::readReference(reference, &readRow, &readColumn), row >= 0);
    QCOMPARE(readRow, row);
    QCOMPARE(readColumn, column);
}

void TestWorkbookReader::basicWorkbook_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << u"basic.xls"_qs;
    QTest::newRow("xlsx") << u"basic.xlsx"_qs;
    // The stream name of Excel 95 and older sends the file to FreeXL in its helper process.
    QTest::newRow("xls read by FreeXL") << u"book-stream.xls"_qs;
}

// The same worksheet saved by LibreOffice in both formats reads as the same texts.
void TestWorkbookReader::basicWorkbook() {
    QFETCH(QString, file);
    WorkbookReader reader;
    QVERIFY2(reader.open(data(file)), qPrintable(reader.errorString()));
    QCOMPARE(reader.sheetNames().size(), 1);
    const auto sheet = reader.readSheet(0);
    QVERIFY2(sheet, qPrintable(reader.errorString()));
    QCOMPARE(sheet->columns,
             QStringList({u"合同编号"_qs, u"甲方"_qs, u"金额"_qs, u"签订日期"_qs, u"时间戳"_qs, u"备注"_qs}));
    const QList<QStringList> expected = {
        {u"HT-001"_qs, u"北京某公司"_qs, u"123456789012345"_qs, u"2024/3/5"_qs, u"2024/3/5 13:45:10"_qs, QString()},
        {u"HT-002"_qs, u"上海某公司"_qs, u"0.1"_qs, u"2023/12/31"_qs, u"2023/12/31"_qs, u"说明"_qs},
        {u"HT-003"_qs, QString(), u"3.14159265358979"_qs, QString(), QString(), QString()},
        {u"HT-004"_qs, u"Acme Ltd"_qs, u"-2.5"_qs, u"1999/1/1"_qs, u"2000/2/29 8:05:09"_qs, u"含,逗号"_qs},
    };
    QCOMPARE(sheet->rows, expected);
}

void TestWorkbookReader::corners_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("booleanText");
    QTest::addColumn<QString>("formulaText");
    QTest::newRow("hand-made xlsx") << u"corners.xlsx"_qs << u"TRUE"_qs << u"2"_qs;
    QTest::newRow("the same saved as xls") << u"corners.xls"_qs << u"TRUE"_qs << u"2"_qs;
    // Prefixed element names and comments: read by the XML parser, not by the direct scan.
    QTest::newRow("prefixed xlsx") << u"corners-prefixed.xlsx"_qs << u"TRUE"_qs << u"2"_qs;
}

// Gaps, cells without references, rich and inline text, booleans, custom date formats, several sheets.
void TestWorkbookReader::corners() {
    QFETCH(QString, file);
    QFETCH(QString, booleanText);
    QFETCH(QString, formulaText);
    WorkbookReader reader;
    QVERIFY2(reader.open(data(file)), qPrintable(reader.errorString()));
    QCOMPARE(reader.sheetNames(), QStringList({u"角落"_qs, u"无引用"_qs, u"空表"_qs}));

    const auto corners = reader.readSheet(u"角落"_qs);
    QVERIFY2(corners, qPrintable(reader.errorString()));
    // D1 has no name (F4); E1 repeats A1's name.
    QCOMPARE(corners->columns, QStringList({u"名称"_qs, u"数值"_qs, u"日期"_qs, u"F4"_qs, u"名称1"_qs}));
    const QList<QStringList> expected = {
        {u"富文本"_qs, u"1234.5"_qs, u"2024/3/5"_qs, QString(), booleanText},
        {u" 前后空格 "_qs, QString(), u"2024/3/5 18:00:00"_qs, QString(), QString()},
        {u"行\r换"_qs, formulaText, u"2024/1/1"_qs, QString(), QString()},
        {u"时长"_qs, u"1E-7"_qs, u"12:00:00"_qs, QString(), QString()},
    };
    QCOMPARE(corners->rows, expected);
    QCOMPARE(corners->rowNumbers, QList<int>({2, 4, 5, 6}));

    const auto noReferences = reader.readSheet(1);
    QVERIFY(noReferences);
    QCOMPARE(noReferences->columns, QStringList({u"甲"_qs, u"乙"_qs}));
    QCOMPARE(noReferences->rows, QList<QStringList>({{u"1"_qs, u"2"_qs}, {u"3"_qs, QString()}}));

    const auto empty = reader.readSheet(2);
    QVERIFY(empty);
    QVERIFY(empty->columns.isEmpty());
    QVERIFY(empty->rows.isEmpty());

    QVERIFY(!reader.readSheet(u"不存在"_qs));
    QVERIFY(!reader.errorString().isEmpty());
}

void TestWorkbookReader::date1904() {
    WorkbookReader reader;
    QVERIFY(reader.open(data(u"date1904.xlsx"_qs)));
    const auto sheet = reader.readSheet(0);
    QVERIFY(sheet);
    QCOMPARE(sheet->rows, QList<QStringList>({{u"1904/1/1"_qs}}));
}

// Shared strings that run over many records, cut inside 8-bit and 16-bit texts, and cells longer than a record.
void TestWorkbookReader::longTexts() {
    WorkbookReader reader;
    QVERIFY2(reader.open(data(u"long.xls"_qs)), qPrintable(reader.errorString()));
    const auto sheet = reader.readSheet(0);
    QVERIFY2(sheet, qPrintable(reader.errorString()));
    constexpr int Rows = 500; // as in make_long.py
    QCOMPARE(sheet->rows.size(), Rows);
    for (int i = 1; i <= Rows; ++i) {
        QString latin = u"row %1 "_qs.arg(i) + QString(i % 40, u'x');
        QString chinese = u"合同%1号"_qs.arg(i) + QString(i % 30, u'长') + u"end"_qs;
        if (i == Rows) {
            latin = QString(9000, u'a');
            chinese = u"甲乙丙丁"_qs.repeated(1250);
        }
        QCOMPARE(sheet->rows.at(i - 1), QStringList({QString::number(i), latin, chinese}));
    }
}

void TestWorkbookReader::xmlText_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("understood");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("合同 A-1") << true << u"合同 A-1"_qs;
    QTest::newRow("named entities") << QByteArray("&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;") << true
                                    << u"<a> & \"b\" 'c'"_qs;
    QTest::newRow("character references")
        << QByteArray("&#20013;&#x6587;&#x1F600;") << true << u"中文"_qs + QString::fromUcs4(U"\U0001F600", 1);
    QTest::newRow("line ends read as line feeds") << QByteArray("a\r\nb\rc\nd") << true << u"a\nb\nc\nd"_qs;
    QTest::newRow("escaped carriage return kept") << QByteArray("a&#13;b") << true << u"a\rb"_qs;
    QTest::newRow("unknown entity") << QByteArray("&nbsp;") << false << QString();
    QTest::newRow("unterminated entity") << QByteArray("a & b") << false << QString();
    QTest::newRow("reference to a forbidden character") << QByteArray("&#0;") << false << QString();
    QTest::newRow("raw control character") << QByteArray("a\x01b") << false << QString();
}

// The scanner either reads character data exactly as an XML parser would or leaves it to the parser.
void TestWorkbookReader::xmlText() {
    QFETCH(QByteArray, raw);
    QFETCH(bool, understood);
    QFETCH(QString, text);
    QString decoded;
    QCOMPARE(XlsxScanner::decodeText(raw, &decoded), understood);
    if (understood)
        QCOMPARE(decoded, text);
}

// The parts LibreOffice writes (from basic.xlsx) take the direct scan, not the slower XML parser.
// String items as the scan reads them in one pass, each up to its own end tag; null strings: the scan leaves the
// part to the XML parser.
void TestWorkbookReader::scanSharedStrings_data() {
    QTest::addColumn<QByteArray>("items");
    QTest::addColumn<QStringList>("strings");
    QTest::newRow("plain") << QByteArray("<si><t>甲</t></si>") << QStringList{u"甲"_qs};
    QTest::newRow("rich-text runs") << QByteArray("<si><r><rPr><b/><sz val=\"11\"/></rPr><t>甲</t></r>"
                                                  "<r><t xml:space=\"preserve\"> 乙</t></r></si>")
                                    << QStringList{u"甲 乙"_qs};
    QTest::newRow("phonetic hint left out")
        << QByteArray("<si><t>漢</t><rPh sb=\"0\" eb=\"1\"><t>kan</t></rPh></si>") << QStringList{u"漢"_qs};
    QTest::newRow("empty item and blank in end tag")
        << QByteArray("<si/><si><t>b</t></si >") << QStringList{QString(), u"b"_qs};
    QTest::newRow("run left open") << QByteArray("<si><r><t>a</t></si>") << QStringList();
    QTest::newRow("end tag of another item") << QByteArray("<si><t>a</t></is><si><t>b</t></si>") << QStringList();
    QTest::newRow("end tag in an attribute")
        << QByteArray("<si><r><rPr><rFont val=\"</si>\"/></rPr><t>a</t></r></si>") << QStringList();
}

void TestWorkbookReader::scanSharedStrings() {
    QFETCH(QByteArray, items);
    QFETCH(QStringList, strings);
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst "
                           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                           items + "</sst>";
    QStringList read;
    const XlsxScanner::Result result = XlsxScanner::sharedStrings(xml, &read);
    QCOMPARE(result, strings.isEmpty() ? XlsxScanner::Result::Unsupported : XlsxScanner::Result::Done);
    if (!strings.isEmpty())
        QCOMPARE(read, strings);
}

void TestWorkbookReader::scanWhatLibreOfficeWrites() {
    auto read = [](const QString &name) {
        QFile file(data(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QStringList strings;
    QCOMPARE(XlsxScanner::sharedStrings(read(u"libreoffice-sharedStrings.xml"_qs), &strings),
             XlsxScanner::Result::Done);
    QVERIFY(strings.contains(u"北京某公司"_qs));
    int cells = 0;
    const auto result = XlsxScanner::sheet(read(u"libreoffice-sheet.xml"_qs), [&](const XlsxScanner::Cell &) {
        ++cells;
        return XlsxScanner::Result::Done;
    });
    QCOMPARE(result, XlsxScanner::Result::Done);
    QVERIFY(cells >= 25);
}

void TestWorkbookReader::scanLeavesTheUnusual_data() {
    QTest::addColumn<QByteArray>("xml");
    const QByteArray head("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    const QByteArray open("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    const QByteArray row("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>");
    QTest::newRow("comment in the cells")
        << head + open + "<sheetData><!-- x --><row r=\"1\"/></sheetData></worksheet>";
    QTest::newRow("DOCTYPE") << head + "<!DOCTYPE worksheet>" + open + row + "</worksheet>";
    QTest::newRow("other encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"GBK\"?>") + open + row +
                                           "</worksheet>";
    QTest::newRow("damaged declaration") << QByteArray("<?xml =\"1.0\"?>") + open + row + "</worksheet>";
    QTest::newRow("prefixed names")
        << head + "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
               "<x:sheetData/></x:worksheet>";
    QTest::newRow("end tag of another element") << head + open + "<cols></dimension>" + row + "</worksheet>";
    QTest::newRow("row left open") << head + open + "<sheetData><row r=\"1\"><row r=\"2\"/></row></sheetData>" +
                                          "</worksheet>";
    QTest::newRow("undeclared prefix") << head + open + "<sheetData><row r=\"1\" y:ht=\"2\"/></sheetData></worksheet>";
    QTest::newRow("text after the root") << head + open + row + "</worksheet>x";
    QTest::newRow("repeated reference") << head + open +
                                               "<sheetData><row><c r=\"A1\" r=\"B1\"><v>1</v></c></row></sheetData>" +
                                               "</worksheet>";
    QTest::newRow("invalid UTF-8") << head + open + "<sheetData><row><c t=\"str\"><v>\xff</v></c></row></sheetData>" +
                                          "</worksheet>";
}

// Anything beyond the plain form is left to the XML parser, which reads it or reports the damage.
void TestWorkbookReader::scanLeavesTheUnusual() {
    QFETCH(QByteArray, xml);
    const auto result = XlsxScanner::sheet(xml, [](const XlsxScanner::Cell &) { return XlsxScanner::Result::Done; });
    QCOMPARE(result, XlsxScanner::Result::Unsupported);
}

void TestWorkbookReader::formulaResults_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<QStringList>>("rows");
    const QString longText(300, u'长');
    QTest::newRow("xlsx") << u"formulas.xlsx"_qs
                          << QList<QStringList>{{u"3"_qs, u"2.5"_qs, u"7.5"_qs, u"合同甲"_qs, u"45356.5"_qs, u"1"_qs},
                                                {u"4"_qs, u"0.1"_qs, u"0.4"_qs, longText, u"36525"_qs, u"0"_qs}};
    // LibreOffice caches comparisons as the numbers 1 and 0, and in .xls a text result as 0.
    QTest::newRow("xls") << u"formulas.xls"_qs
                         << QList<QStringList>{{u"3"_qs, u"2.5"_qs, u"7.5"_qs, u"0"_qs, u"45356.5"_qs, u"1"_qs},
                                               {u"4"_qs, u"0.1"_qs, u"0.4"_qs, u"0"_qs, u"36525"_qs, u"0"_qs}};
}

// Computed cells arrive as their cached results (the date formulas of the fixture have no date format).
void TestWorkbookReader::formulaResults() {
    QFETCH(QString, file);
    QFETCH(QList<QStringList>, rows);
    WorkbookReader reader;
    QVERIFY2(reader.open(data(file)), qPrintable(reader.errorString()));
    const auto sheet = reader.readSheet(0);
    QVERIFY2(sheet, qPrintable(reader.errorString()));
    QCOMPARE(sheet->rows, rows);
}

void TestWorkbookReader::damagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    auto read = [](const QString &name) {
        QFile file(data(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray xls = read(u"basic.xls"_qs);
    const QByteArray xlsx = read(u"basic.xlsx"_qs);
    QTest::newRow("renamed text file") << QByteArray("合同编号,甲方\nHT-001,某公司\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("truncated xls") << xls.left(xls.size() / 2);
    QTest::newRow("truncated xlsx") << xlsx.left(xlsx.size() / 2);
    QTest::newRow("xls header only") << xls.left(512);
    QTest::newRow("password xls") << read(u"password.xls"_qs);
    QTest::newRow("word document") << read(u"document.doc"_qs);
    QTest::newRow("xlsx cell refers to a missing shared string") << read(u"missing-string.xlsx"_qs);
    // Found by fuzzing: FreeXL reads past a buffer while converting a sheet name.
    QTest::newRow("fuzz: iconv overread") << read(u"fuzz-xls-iconv-overread.xls"_qs);
    // Found by fuzzing: FreeXL copies past the end of a buffer while opening.
    QTest::newRow("fuzz: memcpy overflow") << read(u"fuzz-xls-memcpy-overflow.xls"_qs);
}

void TestWorkbookReader::damagedFiles() {
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"合同.xls"_qs);
    QVERIFY(writeFile(path, content));

    WorkbookReader reader;
    if (reader.open(path)) {
        // Some damage only shows when the sheet is read.
        QVERIFY(!reader.sheetNames().isEmpty());
        QVERIFY(!reader.readSheet(0));
    }
    QVERIFY(!reader.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TestWorkbookReader)
#include "tst_workbookreader.moc"

namespace {

// A one-sheet workbook with the given cells of row 1 (raw <c> elements), made in memory.
QByteArray workbookWithCells(const QByteArray &cells) {
    const QList<QPair<const char *, QByteArray>> parts{
        {"xl/workbook.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
                            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                            "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"1\">" +
             cells + "</row></sheetData></worksheet>"},
    };
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    zip_error_fini(&error);
    if (!za)
        return {};
    zip_source_keep(buffer);
    for (const auto &[name, content] : parts) {
        zip_source_t *source = zip_source_buffer(za, content.constData(), zip_uint64_t(content.size()), 0);
        if (!source || zip_file_add(za, name, source, 0) < 0)
            return {};
    }
    // The parts' buffers must outlive the close, which reads them.
    if (zip_close(za) != 0)
        return {};
    QByteArray out;
    zip_stat_t stat;
    if (zip_source_stat(buffer, &stat) == 0 && zip_source_open(buffer) == 0) {
        out.resize(qsizetype(stat.size));
        out.resize(qsizetype(std::max<zip_int64_t>(0, zip_source_read(buffer, out.data(), stat.size))));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

} // namespace

void TestWorkbookReader::numbersAsStored_data() {
    QTest::addColumn<QByteArray>("stored");
    // Written as the program writes a number's value, or not: either way the cell reads as CellText says.
    for (const char *stored : {"3.7",
                               "3.70",
                               "-2.5",
                               "0",
                               "-0",
                               "0.0",
                               "100",
                               "0100",
                               "1200.",
                               "0.0001",
                               "0.00001",
                               "-0.00001234",
                               "123456789012345",
                               "1234567890123456",
                               "12345678901234.5",
                               "1234567890123.45",
                               "0.100000000000001",
                               "0.1000000000000001",
                               "1E3",
                               "1e-7",
                               " 42 ",
                               "3.14159265358979",
                               "35.51861572265625"})
        QTest::newRow(stored) << QByteArray(stored);
}

void TestWorkbookReader::numbersAsStored() {
    QFETCH(QByteArray, stored);
    const QByteArray book = workbookWithCells("<c r=\"A1\" t=\"n\"><v>" + stored + "</v></c>");
    QVERIFY(!book.isEmpty());
    WorkbookReader reader;
    QVERIFY2(reader.openData(book), qPrintable(reader.errorString()));
    // The first row names the columns.
    const auto sheet = reader.readSheet(0);
    QVERIFY2(sheet, qPrintable(reader.errorString()));
    bool ok = false;
    const double value = QString::fromLatin1(stored).trimmed().toDouble(&ok);
    QVERIFY(ok);
    QCOMPARE(sheet->columns, QStringList{CellText::fromNumber(value)});
}
