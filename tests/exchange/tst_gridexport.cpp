#include "exchange/export/GridExport.h"
#include "office/StandInSheetApp.h"
#include "platform/ScriptedMessages.h"

#include "office/LibreOfficeSheetApp.h"

#include <QTest>

#include <optional>

namespace {

const QString NotOpen = QStringLiteral("查询过程没有执行，没有数据库可以发送！");
const QString NoExcel = QStringLiteral("系统不能连接到Excel,请确认Excel是否安装！");
const QString SendFailed = QStringLiteral("向Excel发送数据发生错误！");

GridColumn column(const QString &title, const QString &field, bool visible = true) {
    GridColumn c;
    c.title = title;
    c.fieldName = field;
    c.visible = visible;
    return c;
}

// The register's shape: the ID first, indicator columns after it, one of them hidden between visible ones.
GridContent registerGrid(const QList<QStringList> &rows) {
    GridContent grid;
    grid.columns = {column(QStringLiteral("编号"), QStringLiteral("ID")),
                    column(QStringLiteral("合同|甲方"), QStringLiteral("Data1")),
                    column(QStringLiteral("备注"), QStringLiteral("Data2"), false),
                    column(QStringLiteral("金额"), QStringLiteral("Data3"))};
    grid.rows = rows;
    return grid;
}

} // namespace

// The export over the in-process stand-in (order of effects, failures) and over a real headless LibreOffice
// (the functions named office*, which carry the ctest label "office").
class TestGridExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void orderOfEffects();
    void cellsByForm_data();
    void cellsByForm();
    void titleStaysWithoutVisibleColumns();
    void largeListGoesOverInBlocks();
    void failures_data();
    void failures();
    void entryPointWithoutSpreadsheetProgram();

    void office_data();
    void office();
    void officeNumbersAndDates();

private:
    ScriptedMessages mMessages;
    std::optional<LibreOfficeSheetApp> mOffice;
};

void TestGridExport::init() {
    mMessages.clear();
    Messages::setInstance(&mMessages);
}

void TestGridExport::cleanup() {
    Messages::setInstance(nullptr);
}

void TestGridExport::orderOfEffects() {
    StandInSheetApp sheet;
    const GridContent grid =
        registerGrid({{QStringLiteral("1"), QStringLiteral("张三"), QStringLiteral("隐"), QStringLiteral("100.00")},
                      {QStringLiteral("2"), QString(), QStringLiteral("隐"), QStringLiteral("=1+1")},
                      {QStringLiteral("3"), QStringLiteral("王五")}});
    QList<int> positions;
    const auto result = GridExport(sheet).send(QStringLiteral("合同清单"), grid, [&](int row) {
        // The list is complete before the dataset is left on its last record, and still hidden.
        QCOMPARE(sheet.cell(3, 1), QStringLiteral("王五"));
        QVERIFY(!sheet.isShown());
        positions << row;
    });

    QCOMPARE(result, GridExport::Result::Sent);
    QVERIFY(mMessages.shown().isEmpty());
    QCOMPARE(sheet.calls(), (QStringList{"connect", "newSpreadsheet", "writeTexts", "writeTexts", "writeCells",
                                         "fitColumns", "setCaption", "show"}));
    QCOMPARE(positions, QList<int>{2});
    // The first caption took the title's place; the hidden column left no gap; short rows end in empty cells.
    const auto cells = sheet.readTexts(0, 0, 5, 4);
    QCOMPARE(*cells, (QList<QStringList>{{"编号", "合同|甲方", "金额", ""},
                                         {"1", "张三", "100.00", ""},
                                         {"2", "", "=1+1", ""},
                                         {"3", "王五", "", ""},
                                         {"", "", "", ""}}));
    QCOMPARE(sheet.caption(), QStringLiteral("合同清单"));
    QVERIFY(sheet.isShown());
    // The amount went over as a number shown in its form; the formula-like text stays a text.
    QCOMPARE(sheet.typedCell(1, 2),
             (SheetCell{SheetCell::Kind::Number, QStringLiteral("100.00"), 100.0, QStringLiteral("0.00")}));
    QCOMPARE(sheet.typedCell(2, 2).kind, SheetCell::Kind::Text);
    QCOMPARE(sheet.fittedColumns(), (QList<int>{0, 1, 2}));
}

void TestGridExport::cellsByForm_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");

    const int text = int(SheetCell::Kind::Text);
    const int number = int(SheetCell::Kind::Number);
    const int date = int(SheetCell::Kind::Date);
    QTest::newRow("amount with two decimals") << "4200.00" << number << 4200.0 << "0.00";
    QTest::newRow("whole number") << "4200" << number << 4200.0 << "0";
    QTest::newRow("negative with one decimal") << "-68.2" << number << -68.2 << "0.0";
    QTest::newRow("zero point something") << "0.05" << number << 0.05 << "0.00";
    QTest::newRow("fifteen significant digits") << "123456789012345" << number << 123456789012345.0 << "0";
    QTest::newRow("identity number stays text") << "110101199003071234" << text << 0.0 << "";
    QTest::newRow("leading zeros stay text") << "007" << text << 0.0 << "";
    QTest::newRow("formula stays text") << "=1+1" << text << 0.0 << "";
    QTest::newRow("plus sign stays text") << "+5" << text << 0.0 << "";
    QTest::newRow("trailing point stays text") << "12." << text << 0.0 << "";
    QTest::newRow("exponent stays text") << "1e5" << text << 0.0 << "";
    QTest::newRow("Chinese amount stays text") << "肆仟贰佰元整" << text << 0.0 << "";
    QTest::newRow("ISO date") << "2012-10-01" << date << 41183.0 << "YYYY-MM-DD";
    QTest::newRow("short date without zeros") << "2012/9/30" << date << 41182.0 << "YYYY/M/DD";
    QTest::newRow("Chinese date") << "2026年3月5日" << date << 46086.0 << "YYYY\"年\"M\"月\"D\"日\"";
    QTest::newRow("date and time") << "2012-10-01 9:30:00" << date << 41183.0 + 9.5 / 24 << "YYYY-MM-DD H:MM:SS";
    QTest::newRow("no such day stays text") << "2012-2-30" << text << 0.0 << "";
    QTest::newRow("mixed separators stay text") << "2012-10/01" << text << 0.0 << "";
    QTest::newRow("Chinese numeral date stays text") << "二〇一二年十月一日" << text << 0.0 << "";
    QTest::newRow("empty") << "" << text << 0.0 << "";
}

void TestGridExport::cellsByForm() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(double, value);
    QFETCH(QString, format);

    const SheetCell cell = GridExport::cellFor(text);
    QCOMPARE(int(cell.kind), kind);
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.format, format);
    QVERIFY2(qAbs(cell.value - value) < 1e-9, qPrintable(QString::number(cell.value, 'g', 17)));
}

void TestGridExport::titleStaysWithoutVisibleColumns() {
    StandInSheetApp sheet;
    GridContent grid = registerGrid({{QStringLiteral("1"), QStringLiteral("张三")}});
    for (auto &c : grid.columns)
        c.visible = false;
    int moved = -1;
    QCOMPARE(GridExport(sheet).send(QStringLiteral("标题"), grid, [&](int row) { moved = row; }),
             GridExport::Result::Sent);
    QCOMPARE(sheet.rowCount(), 1);
    QCOMPARE(sheet.columnCount(), 1);
    QCOMPARE(sheet.cell(0, 0), QStringLiteral("标题"));
    QCOMPARE(moved, 0);
    QVERIFY(sheet.isShown());
}

void TestGridExport::largeListGoesOverInBlocks() {
    StandInSheetApp sheet;
    const int count = 2 * GridExport::RowsPerBlock + 1;
    QList<QStringList> rows;
    for (int r = 0; r < count; ++r)
        rows << QStringList{QString::number(r + 1), QStringLiteral("甲%1").arg(r), QStringLiteral("x"),
                            QString::number(r * 10)};
    QCOMPARE(GridExport(sheet).send(QString(), registerGrid(rows)), GridExport::Result::Sent);
    QCOMPARE(sheet.calls().count(QStringLiteral("writeTexts")), 2);
    QCOMPARE(sheet.calls().count(QStringLiteral("writeCells")), 3);
    QCOMPARE(sheet.rowCount(), count + 1);
    QCOMPARE(sheet.columnCount(), 3);
    for (int r : {0, GridExport::RowsPerBlock - 1, GridExport::RowsPerBlock, count - 1})
        QCOMPARE(
            *sheet.readTexts(r + 1, 0, 1, 3),
            (QList<QStringList>{{QString::number(r + 1), QStringLiteral("甲%1").arg(r), QString::number(r * 10)}}));
}

void TestGridExport::failures_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("shown");

    QTest::newRow("dataset not open: the program is not started")
        << false << QString() << NotOpen << int(GridExport::Result::NotOpen) << QStringList() << false;
    QTest::newRow("program cannot be reached")
        << true << "connect" << NoExcel << int(GridExport::Result::NoSpreadsheet) << QStringList{"connect"} << false;
    QTest::newRow("program makes no spreadsheet")
        << true << "newSpreadsheet" << NoExcel << int(GridExport::Result::NoSpreadsheet)
        << QStringList{"connect", "newSpreadsheet"} << false;
    QTest::newRow("writing fails: stops there, shows what arrived")
        << true << "writeTexts" << SendFailed << int(GridExport::Result::Failed)
        << QStringList{"connect", "newSpreadsheet", "writeTexts", "show"} << true;
    QTest::newRow("showing fails") << true << "show" << SendFailed << int(GridExport::Result::Failed)
                                   << QStringList{"connect",    "newSpreadsheet", "writeTexts",
                                                  "writeTexts", "writeCells",     "fitColumns",
                                                  "setCaption", "show",           "show"}
                                   << false;
}

void TestGridExport::failures() {
    QFETCH(bool, open);
    QFETCH(QString, failing);
    QFETCH(QString, message);
    QFETCH(int, result);
    QFETCH(QStringList, calls);
    QFETCH(bool, shown);

    StandInSheetApp sheet;
    if (!failing.isEmpty())
        sheet.setFailing(failing);
    GridContent grid = registerGrid({{QStringLiteral("1"), QStringLiteral("张三"), QString(), QStringLiteral("5")}});
    grid.isOpen = open;
    bool moved = false;
    QCOMPARE(int(GridExport(sheet).send(QString(), grid, [&](int) { moved = true; })), result);

    QCOMPARE(mMessages.shown().size(), 1);
    QCOMPARE(mMessages.shown().first().kind, ScriptedMessages::Kind::Warning);
    // The fixed sentence, and after a failure while writing the office's own reason on the next line.
    const QString text = mMessages.lastText();
    if (message == SendFailed) {
        QVERIFY2(text.startsWith(message + u'\r') && text.size() > message.size() + 1, qPrintable(text));
        QVERIFY(text.contains(failing));
    } else {
        QCOMPARE(text, message);
    }
    QCOMPARE(sheet.calls(), calls);
    QCOMPARE(sheet.isShown(), shown);
    QCOMPARE(moved, failing == QLatin1String("show"));
}

void TestGridExport::entryPointWithoutSpreadsheetProgram() {
    int made = 0;
    const GridExport::SheetAppFactory noSpreadsheet = [&]() -> std::unique_ptr<SheetApp> {
        ++made;
        return nullptr;
    };
    GridContent closed = registerGrid({});
    closed.isOpen = false;
    sendGridToSpreadsheet(noSpreadsheet, QString(), closed);
    QCOMPARE(made, 0);
    QCOMPARE(mMessages.texts(), QStringList{NotOpen});

    mMessages.clear();
    sendGridToSpreadsheet(noSpreadsheet, QString(), registerGrid({}));
    QCOMPARE(made, 1);
    QCOMPARE(mMessages.texts(), QStringList{NoExcel});
}

void TestGridExport::office_data() {
    QTest::addColumn<GridContent>("grid");
    QTest::addColumn<QList<QStringList>>("expected");

    QTest::newRow("three visible and one hidden column arrive adjacent")
        << registerGrid({{"1", "张三", "不导出", "100.00"}, {"2", "李四", "不导出", "007"}})
        << QList<QStringList>{{"编号", "合同|甲方", "金额", ""},
                              {"1", "张三", "100.00", ""},
                              {"2", "李四", "007", ""},
                              {"", "", "", ""}};
    QTest::newRow("formulas arrive as text") << registerGrid({{"1", "=1+1", "", "@SUM(A1)"}, {"2", "+A1", "", "=A2*2"}})
                                             << QList<QStringList>{{"编号", "合同|甲方", "金额", ""},
                                                                   {"1", "=1+1", "@SUM(A1)", ""},
                                                                   {"2", "+A1", "=A2*2", ""},
                                                                   {"", "", "", ""}};
    QTest::newRow("empty dataset gives the header row only")
        << registerGrid({}) << QList<QStringList>{{"编号", "合同|甲方", "金额", ""}, {"", "", "", ""}};
}

void TestGridExport::office() {
    QFETCH(GridContent, grid);
    QFETCH(QList<QStringList>, expected);

    if (!mOffice) {
        mOffice.emplace(LibreOfficeSheetApp::Display::Headless);
        QVERIFY2(mOffice->connect(), qPrintable(mOffice->lastError()));
    }
    QCOMPARE(GridExport(*mOffice).send(QString(), grid), GridExport::Result::Sent);
    QVERIFY2(mMessages.shown().isEmpty(), qPrintable(mMessages.texts().join(u'\n')));
    // What the spreadsheet shows: numbers in their grid form, texts as they were.
    const auto cells = mOffice->readCells(0, 0, int(expected.size()), int(expected.first().size()));
    QVERIFY2(cells.has_value(), qPrintable(mOffice->lastError()));
    QList<QStringList> shown;
    for (const auto &line : *cells) {
        QStringList texts;
        for (const SheetCell &cell : line)
            texts << cell.text;
        shown << texts;
    }
    QCOMPARE(shown, expected);
    QVERIFY(mOffice->closeSpreadsheet());
}

void TestGridExport::officeNumbersAndDates() {
    if (!mOffice) {
        mOffice.emplace(LibreOfficeSheetApp::Display::Headless);
        QVERIFY2(mOffice->connect(), qPrintable(mOffice->lastError()));
    }
    // Column 甲方 carries dates and a formula-like text, 金额 amounts as the register shows them.
    const QString longest = QStringLiteral("北京市朝阳区建国路八十八号房屋租赁合同");
    const GridContent grid = registerGrid({{"1", "2012-10-01", "", "4200.00"},
                                           {"2", "2026年3月5日", "", "68.20"},
                                           {"3", "=1+1", "", "1250.50"},
                                           {"4", "007", "", "未定"},
                                           {"5", longest, "", ""}});
    QCOMPARE(GridExport(*mOffice).send(QString(), grid), GridExport::Result::Sent);
    QVERIFY2(mMessages.shown().isEmpty(), qPrintable(mMessages.texts().join(u'\n')));

    // The spreadsheet's own sum over the amount column counts every amount and passes over the text.
    const auto total = mOffice->sum(1, 2, 4, 1);
    QVERIFY2(total.has_value(), qPrintable(mOffice->lastError()));
    QVERIFY2(qAbs(*total - 5518.7) < 1e-9, qPrintable(QString::number(*total, 'g', 17)));

    const auto cells = mOffice->readCells(1, 1, 5, 2);
    QVERIFY2(cells.has_value(), qPrintable(mOffice->lastError()));
    const SheetCell isoDate = cells->at(0).at(0);
    QCOMPARE(isoDate.kind, SheetCell::Kind::Date);
    QCOMPARE(isoDate.value, 41183.0);
    QCOMPARE(isoDate.text, QStringLiteral("2012-10-01"));
    QCOMPARE(cells->at(1).at(0).kind, SheetCell::Kind::Date);
    QCOMPARE(cells->at(1).at(0).text, QStringLiteral("2026年3月5日"));
    QCOMPARE(cells->at(2).at(0).kind, SheetCell::Kind::Text);
    QCOMPARE(cells->at(2).at(0).text, QStringLiteral("=1+1"));
    QCOMPARE(cells->at(3).at(0).text, QStringLiteral("007"));
    QCOMPARE(cells->at(0).at(1).kind, SheetCell::Kind::Number);
    QCOMPARE(cells->at(0).at(1).text, QStringLiteral("4200.00"));
    QCOMPARE(cells->at(3).at(1).kind, SheetCell::Kind::Text);

    // Each column is as wide as its widest content, and the sheet used for measuring is gone.
    const auto numberWidth = mOffice->columnWidth(0);
    const auto textWidth = mOffice->columnWidth(1);
    QVERIFY(numberWidth && textWidth);
    QVERIFY2(*textWidth > 4 * *numberWidth, qPrintable(QStringLiteral("%1 %2").arg(*textWidth).arg(*numberWidth)));
    QCOMPARE(mOffice->sheetCount(), std::optional<int>(1));
    QVERIFY(mOffice->closeSpreadsheet());
}

QTEST_GUILESS_MAIN(TestGridExport)
#include "tst_gridexport.moc"
