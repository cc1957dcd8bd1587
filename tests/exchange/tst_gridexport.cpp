#include "GridExport.h"
#include "ScriptedMessages.h"
#include "StandInSheetApp.h"

#ifdef VANTREL_HAVE_LIBREOFFICE
#include "LibreOfficeSheetApp.h"
#endif

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
    void titleStaysWithoutVisibleColumns();
    void largeListGoesOverInBlocks();
    void failures_data();
    void failures();
    void entryPointWithoutSpreadsheetProgram();

    void office_data();
    void office();

private:
    ScriptedMessages mMessages;
#ifdef VANTREL_HAVE_LIBREOFFICE
    std::optional<LibreOfficeSheetApp> mOffice;
#endif
};

void TestGridExport::init() {
    mMessages.clear();
    Messages::setInstance(&mMessages);
}

void TestGridExport::cleanup() {
    Messages::setInstance(nullptr);
    GridExport::setSheetAppFactory({});
}

void TestGridExport::orderOfEffects() {
    StandInSheetApp sheet;
    const GridContent grid =
        registerGrid({{QStringLiteral("1"), QStringLiteral("张三"), QStringLiteral("隐"), QStringLiteral("100.00")},
                      {QStringLiteral("2"), QString(), QStringLiteral("隐"), QStringLiteral("=1+1")},
                      {QStringLiteral("3"), QStringLiteral("王五")}});
    QList<int> positions;
    const auto result = GridExport(sheet, mMessages).send(QStringLiteral("合同清单"), grid, [&](int row) {
        // The list is complete before the dataset is left on its last record, and still hidden.
        QCOMPARE(sheet.cell(3, 1), QStringLiteral("王五"));
        QVERIFY(!sheet.isShown());
        positions << row;
    });

    QCOMPARE(result, GridExport::Result::Sent);
    QVERIFY(mMessages.shown().isEmpty());
    QCOMPARE(sheet.calls(), (QStringList{"connect", "newSpreadsheet", "writeTexts", "writeTexts", "writeTexts",
                                         "setCaption", "show"}));
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
}

void TestGridExport::titleStaysWithoutVisibleColumns() {
    StandInSheetApp sheet;
    GridContent grid = registerGrid({{QStringLiteral("1"), QStringLiteral("张三")}});
    for (auto &c : grid.columns)
        c.visible = false;
    int moved = -1;
    QCOMPARE(GridExport(sheet, mMessages).send(QStringLiteral("标题"), grid, [&](int row) { moved = row; }),
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
    QCOMPARE(GridExport(sheet, mMessages).send(QString(), registerGrid(rows)), GridExport::Result::Sent);
    QCOMPARE(sheet.calls().count(QStringLiteral("writeTexts")), 2 + 3);
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
                                   << QStringList{"connect",    "newSpreadsheet", "writeTexts", "writeTexts",
                                                  "writeTexts", "setCaption",     "show",       "show"}
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
    QCOMPARE(int(GridExport(sheet, mMessages).send(QString(), grid, [&](int) { moved = true; })), result);

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
    GridExport::setSheetAppFactory([&]() -> std::unique_ptr<SheetApp> {
        ++made;
        return nullptr;
    });
    GridContent closed = registerGrid({});
    closed.isOpen = false;
    SendGridToExcel(QString(), closed);
    QCOMPARE(made, 0);
    QCOMPARE(mMessages.texts(), QStringList{NotOpen});

    mMessages.clear();
    SendGridToExcel(QString(), registerGrid({}));
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
#ifdef VANTREL_HAVE_LIBREOFFICE
    QFETCH(GridContent, grid);
    QFETCH(QList<QStringList>, expected);

    if (!mOffice) {
        mOffice.emplace(LibreOfficeSheetApp::Display::Headless);
        QVERIFY2(mOffice->connect(), qPrintable(mOffice->lastError()));
    }
    QCOMPARE(GridExport(*mOffice, mMessages).send(QString(), grid), GridExport::Result::Sent);
    QVERIFY2(mMessages.shown().isEmpty(), qPrintable(mMessages.texts().join(u'\n')));
    const auto cells = mOffice->readTexts(0, 0, int(expected.size()), int(expected.first().size()));
    QVERIFY2(cells.has_value(), qPrintable(mOffice->lastError()));
    QCOMPARE(*cells, expected);
    QVERIFY(mOffice->closeSpreadsheet());
#else
    QSKIP("this build has no LibreOffice");
#endif
}

QTEST_GUILESS_MAIN(TestGridExport)
#include "tst_gridexport.moc"
