#include "exchange/import/ContractImport.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QSqlQuery>
#include <QTest>

class TestContractImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void importsWorkbook_data();
    void importsWorkbook();
    void valuesTakeIndicatorForm_data();
    void valuesTakeIndicatorForm();
    void automaticMatchIgnoresCase();
    void mappingByHand();
    void importTwiceAppendsTwice();
    void emptySheetAndNoMapping();
    void categoryWithoutIndicators();
    void failingRowRollsBack();
    void damagedFile();
    void fileDialog();
    void sampleWorkbook_data();
    void sampleWorkbook();

private:
    static QString data(const QString &name) { return QStringLiteral(EXCHANGE_TEST_DATA "/") + name; }
    QList<QStringList> stored(const QStringList &columns) const;
    int count() const { return mApp->scalar(u"SELECT COUNT(*) FROM TContractMain"_qs).toInt(); }

    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
};

void TestContractImport::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    QVERIFY(mApp->addCategoryTree({{u"00010001"_qs, u"买卖合同"_qs}, {u"00010002"_qs, u"空分类"_qs}}, u"合同"_qs));
    // Indicators in SortIdx order; 签订日期 has no worksheet column, 时间戳 is spelled in other case below.
    // 金额 and 签订日期 have display formats, 时间戳 has none.
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"合同编号"_qs, 0, u"Data3"_qs, 1) > 0);
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"甲方"_qs, 0, u"Data1"_qs, 2) > 0);
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"金额"_qs, 1, u"Data2"_qs, 3, QString(), u"999999999999999.99"_qs) > 0);
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"签订日期"_qs, 2, u"Data4"_qs, 4, QString(), u"yyyy-MM-dd"_qs) > 0);
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"时间戳"_qs, 2, u"Data5"_qs, 5) > 0);
    mMessages.clear();
    Messages::setInstance(&mMessages);
}

void TestContractImport::cleanup() {
    Messages::setInstance(nullptr);
    mApp.reset();
}

QList<QStringList> TestContractImport::stored(const QStringList &columns) const {
    QList<QStringList> rows;
    QSqlQuery query(Database::instance().connection());
    query.exec(QStringLiteral("SELECT %1 FROM TContractMain ORDER BY ID").arg(columns.join(u", "_qs)));
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row.append(query.value(i).toString());
        rows.append(row);
    }
    return rows;
}

void TestContractImport::importsWorkbook_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << u"basic.xls"_qs;
    QTest::newRow("xlsx") << u"basic.xlsx"_qs;
}

void TestContractImport::importsWorkbook() {
    QFETCH(QString, file);
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(import.openFile(data(file)));
    QVERIFY(import.sheetChooserEnabled());
    QCOMPARE(import.mappingModel()->rowCount(), 5);
    QCOMPARE(import.mappingModel()->headerData(5, Qt::Horizontal).toString(), u"对应Excel列"_qs);
    QCOMPARE(import.mappingModel()->data(import.mappingModel()->index(2, 2)).toString(), u"数值"_qs);

    QVERIFY(import.importRows());
    // Amounts and dates in the indicators' forms, as the entry dialog writes them; the amount that lost decimals
    // is named.
    QCOMPARE(mMessages.texts(), QStringList{u"数据导入完成！\r以下数值已按指标的格式舍入：第4行（金额）"_qs});
    const QList<QStringList> expected = {
        {u"00010001"_qs, u"北京某公司"_qs, u"123456789012345.00"_qs, u"HT-001"_qs, u"2024-03-05"_qs,
         u"2024/3/5 13:45:10"_qs, QString()},
        {u"00010001"_qs, u"上海某公司"_qs, u"0.10"_qs, u"HT-002"_qs, u"2023-12-31"_qs, u"2023/12/31"_qs, QString()},
        {u"00010001"_qs, QString(), u"3.14"_qs, u"HT-003"_qs, QString(), QString(), QString()},
        {u"00010001"_qs, u"Acme Ltd"_qs, u"-2.50"_qs, u"HT-004"_qs, u"1999-01-01"_qs, u"2000/2/29 8:05:09"_qs,
         QString()},
    };
    QCOMPARE(stored({u"MainTypeCode"_qs, u"Data1"_qs, u"Data2"_qs, u"Data3"_qs, u"Data4"_qs, u"Data5"_qs, u"Data6"_qs}),
             expected);
}

void TestContractImport::valuesTakeIndicatorForm_data() {
    using Outcome = ContractImport::Outcome;
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("outcome");

    const QString money = u"99999999.99"_qs;
    QTest::newRow("whole amount gets the mask's decimals")
        << "4200" << 1 << money << "4200.00" << int(Outcome::Written);
    QTest::newRow("one decimal gets two") << "68.2" << 1 << money << "68.20" << int(Outcome::Written);
    QTest::newRow("blanks around a number") << " 72.3 " << 1 << money << "72.30" << int(Outcome::Written);
    QTest::newRow("more decimals are rounded") << "3.14159" << 1 << money << "3.14" << int(Outcome::Rounded);
    QTest::newRow("mask without decimals") << "4200.5" << 1 << u"9999999"_qs << "4201" << int(Outcome::Rounded);
    QTest::newRow("no mask: whole numbers") << "12" << 1 << QString() << "12" << int(Outcome::Written);
    // Read as decimals: every digit of a long amount counts, and a rounding a double would not see is reported.
    const QString longMoney = u"99999999999999999999.99"_qs;
    QTest::newRow("long amount keeps every digit")
        << "12345678901234567.89" << 1 << longMoney << "12345678901234567.89" << int(Outcome::Written);
    QTest::newRow("long amount rounded in its last place")
        << "12345678901234567.891" << 1 << longMoney << "12345678901234567.89" << int(Outcome::Rounded);
    QTest::newRow("rounding below a double's digits")
        << "0.1000000000000000001" << 1 << money << "0.10" << int(Outcome::Rounded);
    QTest::newRow("thousands separator is not a number")
        << "4,200" << 1 << money << "4,200" << int(Outcome::Unreadable);
    QTest::newRow("word in a number column") << "待定" << 1 << money << "待定" << int(Outcome::Unreadable);
    QTest::newRow("empty number stays empty") << "" << 1 << money << "" << int(Outcome::Unchanged);
    QTest::newRow("short date in a dashed format")
        << "2024/3/5" << 2 << u"yyyy-MM-dd"_qs << "2024-03-05" << int(Outcome::Written);
    QTest::newRow("dashed date in a Chinese format")
        << "2024-3-5" << 2 << u"yyyy年MM月dd日"_qs << "2024年03月05日" << int(Outcome::Written);
    QTest::newRow("no date format: short date")
        << "2024-03-05" << 2 << QString() << "2024/3/5" << int(Outcome::Written);
    QTest::newRow("not a date") << "明年春天" << 2 << u"yyyy-MM-dd"_qs << "明年春天" << int(Outcome::Unreadable);
    QTest::newRow("text keeps its zeros") << "007" << 0 << QString() << "007" << int(Outcome::Unchanged);
}

void TestContractImport::valuesTakeIndicatorForm() {
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, format);
    QFETCH(QString, stored);
    QFETCH(int, outcome);

    ContractImport::Outcome got = ContractImport::Outcome::Unchanged;
    QCOMPARE(ContractImport::formattedValue(text, type, format, &got), stored);
    QCOMPARE(int(got), outcome);
}

void TestContractImport::automaticMatchIgnoresCase() {
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"HT-NO"_qs, 0, u"Data6"_qs, 6) > 0);
    ContractImport import(mApp->database(), u"00010001"_qs);
    // corners.xlsx columns: 名称, 数值, 日期, F4, 名称1.
    QVERIFY(mApp->exec(u"UPDATE TDataPara SET PropertyName='f4' WHERE DataFieldA='Data6'"_qs));
    QVERIFY(import.openFile(data(u"corners.xlsx"_qs)));
    QStringList mapped;
    for (const auto &row : import.mappingModel()->rows())
        mapped.append(row.excelColumn);
    QCOMPARE(mapped, QStringList({QString(), QString(), QString(), QString(), QString(), u"F4"_qs}));
    QCOMPARE(import.menuItems(), QStringList({u"名称"_qs, u"数值"_qs, u"日期"_qs, u"F4"_qs, u"名称1"_qs}));
}

void TestContractImport::mappingByHand() {
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(import.openFile(data(u"corners.xlsx"_qs)));
    QCOMPARE(import.currentRow(), 0);
    QVERIFY(import.prepareColumnMenu());
    import.mapCurrentRowTo(u"名称"_qs); // 合同编号 <- 名称
    import.setCurrentRow(2);
    import.mapCurrentRowTo(u"数值"_qs); // 金额 <- 数值
    import.mapCurrentRowTo(u"日期"_qs); // changed, not added
    QVERIFY(import.importRows());
    // Dates do not read as amounts: they stay as they are and every such row is named by its worksheet row
    // (row 3 of the sheet is empty).
    QCOMPARE(mMessages.lastText(),
             u"数据导入完成！\r以下数值或日期无法识别，已按原样导入：第2行（金额）、第4行（金额）、"
             "第5行（金额）、第6行（金额）"_qs);
    QCOMPARE(stored({u"Data3"_qs, u"Data2"_qs, u"Data1"_qs}),
             QList<QStringList>({{u"富文本"_qs, u"2024/3/5"_qs, QString()},
                                 {u" 前后空格 "_qs, u"2024/3/5 18:00:00"_qs, QString()},
                                 {u"行\r换"_qs, u"2024/1/1"_qs, QString()},
                                 {u"时长"_qs, u"12:00:00"_qs, QString()}}));

    // Choosing the worksheet again clears the hand mapping and matches again.
    QVERIFY(import.chooseSheet(u"角落"_qs));
    for (const auto &row : import.mappingModel()->rows())
        QVERIFY(row.excelColumn.isEmpty());
}

void TestContractImport::importTwiceAppendsTwice() {
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(import.openFile(data(u"basic.xlsx"_qs)));
    QVERIFY(import.importRows());
    QVERIFY(import.importRows());
    QCOMPARE(count(), 8);
    QCOMPARE(mApp->scalar(u"SELECT COUNT(*) FROM TContractMain WHERE Data3='HT-004'"_qs).toInt(), 2);
}

void TestContractImport::emptySheetAndNoMapping() {
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(import.openFile(data(u"corners.xlsx"_qs)));
    QCOMPARE(import.sheetNames(), QStringList({u"角落"_qs, u"无引用"_qs, u"空表"_qs}));

    QVERIFY(import.chooseSheet(u"空表"_qs));
    QVERIFY(import.importRows());
    QCOMPARE(count(), 0);
    QCOMPARE(mMessages.lastText(), u"数据导入完成！"_qs);

    // No column of 无引用 (甲, 乙) is named like an indicator: one record per row with the category code only.
    QVERIFY(import.chooseSheet(u"无引用"_qs));
    QVERIFY(import.importRows());
    QCOMPARE(stored({u"MainTypeCode"_qs, u"Data1"_qs, u"Data2"_qs, u"Data3"_qs}),
             QList<QStringList>({{u"00010001"_qs, QString(), QString(), QString()},
                                 {u"00010001"_qs, QString(), QString(), QString()}}));
}

void TestContractImport::categoryWithoutIndicators() {
    ContractImport import(mApp->database(), u"00010002"_qs);
    QVERIFY(import.openFile(data(u"basic.xlsx"_qs)));
    QCOMPARE(import.mappingModel()->rowCount(), 0);
    QVERIFY(import.menuItems().isEmpty());
    QVERIFY(!import.prepareColumnMenu());
    QCOMPARE(mMessages.lastText(), u"请首先选择源Excel数据文件，然后再指定列对应关系。"_qs);
    QVERIFY(import.importRows());
    QCOMPARE(stored({u"MainTypeCode"_qs}).size(), 4);
}

void TestContractImport::failingRowRollsBack() {
    QVERIFY(mApp->exec(u"CREATE TRIGGER refuse BEFORE INSERT ON TContractMain WHEN NEW.Data3 = 'HT-003' "
                       "BEGIN SELECT RAISE(ABORT, '拒绝保存'); END"_qs));
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(import.openFile(data(u"basic.xls"_qs)));
    QVERIFY(!import.importRows());
    QCOMPARE(count(), 0);
    const QString message = mMessages.lastText();
    QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
    QVERIFY2(message.startsWith(u"存储数据发生错误！\r工作表第4行不能保存"_qs), qPrintable(message));
    QVERIFY2(message.contains(u"拒绝保存"_qs), qPrintable(message));
    QVERIFY(!mMessages.texts().contains(u"数据导入完成！"_qs));
}

void TestContractImport::damagedFile() {
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(!import.importRows());
    QCOMPARE(mMessages.lastText(), u"请选择要导入的拍品数据表！"_qs);

    QVERIFY(import.openFile(data(u"basic.xlsx"_qs)));
    QVERIFY(!import.openFile(data(u"basic.csv"_qs)));
    QCOMPARE(mMessages.lastText(), u"确认选择的数据文件是正确的数据文件！"_qs);
    QVERIFY(!import.hasWorksheet());
    QVERIFY(!import.sheetChooserEnabled());
    QVERIFY(!import.importRows());
    QCOMPARE(mMessages.lastText(), u"请选择要导入的拍品数据表！"_qs);
    QVERIFY(!import.openFile(data(u"fuzz-xls-iconv-overread.xls"_qs)));
    QCOMPARE(count(), 0);
}

void TestContractImport::fileDialog() {
    ContractImport import(mApp->database(), u"00010001"_qs);
    QVERIFY(!import.chooseFile()); // cancelled
    QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::OpenFile);
    QCOMPARE(mMessages.lastText(), u"选择用来导入的数据文件"_qs);
    QCOMPARE(mMessages.details().first(), mApp->file(u"BasicExcel"_qs));
    mMessages.answerFileName(data(u"basic.xls"_qs));
    QVERIFY(import.chooseFile());
    QCOMPARE(import.currentSheetName(), import.sheetNames().first());
}

void TestContractImport::sampleWorkbook_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << u"房屋租赁合同.xls"_qs;
    QTest::newRow("xlsx") << u"房屋租赁合同.xlsx"_qs;
}

// The sample installed in BasicExcel fills every indicator of the demo lease category without any mapping by hand.
void TestContractImport::sampleWorkbook() {
    QFETCH(QString, file);
    const QStringList demoIndicators = {u"合同编号"_qs, u"出租方"_qs,       u"承租方"_qs,      u"房屋坐落"_qs,
                                        u"房屋用途"_qs, u"建筑面积"_qs,     u"月租金"_qs,      u"租期"_qs,
                                        u"租金总额"_qs, u"租金总额大写"_qs, u"押金"_qs,        u"付款方式"_qs,
                                        u"起租日期"_qs, u"签订日期"_qs,     u"签订日期大写"_qs};
    QVERIFY(mApp->addCategory(u"00010003"_qs, u"房屋租赁合同"_qs, u"0001"_qs));
    for (int i = 0; i < demoIndicators.size(); ++i)
        QVERIFY(mApp->addIndicator(u"00010003"_qs, demoIndicators.at(i), 0, QStringLiteral("Data%1").arg(i + 1),
                                   i + 1) > 0);
    ContractImport import(mApp->database(), u"00010003"_qs);
    QVERIFY(import.openFile(QStringLiteral(EXCHANGE_SAMPLE_FOLDER "/") + file));
    for (const auto &row : import.mappingModel()->rows())
        QCOMPARE(row.excelColumn, row.propertyName);
    QVERIFY(import.importRows());
    QCOMPARE(stored({u"Data1"_qs, u"Data6"_qs, u"Data13"_qs, u"Data15"_qs}).first(),
             QStringList({u"FZ20261220001"_qs, u"95.6"_qs, u"2027-01-01"_qs, u"二○二六年十二月二十日"_qs}));
    QCOMPARE(count(), 3);
}

QTEST_GUILESS_MAIN(TestContractImport)
#include "tst_contractimport.moc"
