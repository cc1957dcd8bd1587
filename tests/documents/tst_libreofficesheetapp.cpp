#include "office/LibreOfficeSheetApp.h"

#include <QTest>

// The real spreadsheet program, headless: texts arrive as texts, never as formulas or numbers.
class TestLibreOfficeSheetApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textsArriveUnevaluated();
    void largeBlocksGoOverInPieces();
    void operationsNeedASpreadsheet();

private:
    LibreOfficeSheetApp mSheets{LibreOfficeSheetApp::Display::Headless};
};

void TestLibreOfficeSheetApp::initTestCase() {
    QVERIFY2(mSheets.connect(), qPrintable(mSheets.lastError()));
}

void TestLibreOfficeSheetApp::textsArriveUnevaluated() {
    QVERIFY2(mSheets.newSpreadsheet(), qPrintable(mSheets.lastError()));
    const QList<QStringList> rows = {
        {QStringLiteral("合同编号"), QStringLiteral("金额"), QStringLiteral("公式")},
        {QStringLiteral("=1+1"), QStringLiteral("@SUM(A1)"), QStringLiteral("+A1")},
        {QStringLiteral("007"), QStringLiteral("1/2"), QStringLiteral("2026-12-10")},
        {QStringLiteral("'引号"), QStringLiteral("1e5"), QStringLiteral("-3")},
        {QStringLiteral("短行")},
        {QString(), QStringLiteral("TRUE"), QStringLiteral("第一行\n第二行")},
    };
    QVERIFY2(mSheets.writeTexts(0, 0, rows), qPrintable(mSheets.lastError()));
    QVERIFY(mSheets.setCaption(QStringLiteral("导出")));
    QVERIFY(mSheets.show());

    auto expected = rows;
    expected[4] << QString() << QString();
    const auto read = mSheets.readTexts(0, 0, 6, 3);
    QVERIFY2(read.has_value(), qPrintable(mSheets.lastError()));
    QCOMPARE(*read, expected);
    QVERIFY(mSheets.closeSpreadsheet());
}

void TestLibreOfficeSheetApp::largeBlocksGoOverInPieces() {
    QVERIFY2(mSheets.newSpreadsheet(), qPrintable(mSheets.lastError()));
    QList<QStringList> rows;
    for (int r = 0; r < 4500; ++r)
        rows << QStringList{QString::number(r), QStringLiteral("行%1").arg(r)};
    QVERIFY2(mSheets.writeTexts(1, 2, rows), qPrintable(mSheets.lastError()));
    const auto read = mSheets.readTexts(1, 2, 4500, 2);
    QVERIFY(read.has_value());
    QCOMPARE(*read, rows);
    const auto edge = mSheets.readTexts(0, 0, 1, 3);
    QCOMPARE(*edge, (QList<QStringList>{{QString(), QString(), QString()}}));
    QVERIFY(mSheets.closeSpreadsheet());
}

void TestLibreOfficeSheetApp::operationsNeedASpreadsheet() {
    QVERIFY(!mSheets.writeTexts(0, 0, {{QStringLiteral("x")}}));
    QVERIFY(!mSheets.lastError().isEmpty());
    QVERIFY(!mSheets.show());
}

QTEST_GUILESS_MAIN(TestLibreOfficeSheetApp)
#include "tst_libreofficesheetapp.moc"
