#include "office/StandInSheetApp.h"
#include "office/StandInWordApp.h"

#include <QTemporaryDir>
#include <QTest>

// The stand-ins must behave like the real office where window tests rely on them.
class TestStandInOffice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wordReplacesEveryOccurrenceLiterally();
    void wordPasteAndSaveRoundTrip();
    void wordFailsWhereTold();
    void sheetKeepsTexts();
};

void TestStandInOffice::wordReplacesEveryOccurrenceLiterally() {
    StandInWordApp word;
    QVERIFY(word.connect());
    word.setText(QStringLiteral("[<甲方>]与[<甲方>]，[<A>][<a>]"));
    int count = 0;
    QVERIFY(word.replace(QStringLiteral("[<甲方>]"), QStringLiteral("$1&[<甲方>]"), &count));
    QCOMPARE(count, 2);
    QVERIFY(word.replace(QStringLiteral("[<a>]"), QStringLiteral("\\"), &count));
    QCOMPARE(count, 2);
    QCOMPARE(word.text(), QStringLiteral("$1&[<甲方>]与$1&[<甲方>]，\\\\"));
}

void TestStandInOffice::wordPasteAndSaveRoundTrip() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.Doc"));
    StandInWordApp word;
    QString clipboard;
    word.setClipboardWriter([&clipboard](const QString &text) { clipboard = text; });
    QVERIFY(word.connect());
    word.setText(QStringLiteral("甲乙"));
    word.setInsertionPoint(1);
    QVERIFY(word.paste(QStringLiteral("[<总价>]")));
    QCOMPARE(clipboard, QStringLiteral("[<总价>]"));
    QVERIFY(word.saveAs(file));

    StandInWordApp other;
    QVERIFY(other.connect());
    QVERIFY(other.open(file));
    QCOMPARE(other.documentText().value(), QStringLiteral("甲[<总价>]乙"));
    QVERIFY(!other.open(dir.filePath(QStringLiteral("missing.Doc"))));
    QCOMPARE(word.calls(), (QStringList{QStringLiteral("connect"), QStringLiteral("paste:[<总价>]"),
                                        QStringLiteral("saveAs:") + file}));
}

void TestStandInOffice::wordFailsWhereTold() {
    StandInWordApp word;
    QVERIFY(!word.arrange()); // not connected yet
    word.setFailing(QStringLiteral("connect"));
    QVERIFY(!word.connect());
    QVERIFY(!word.lastError().isEmpty());
    word.setFailing(QStringLiteral("connect"), false);
    QVERIFY(word.connect());
    QVERIFY(!word.print()); // no document
    word.setText(QStringLiteral("x"));
    word.setFailing(QStringLiteral("saveAs"));
    QVERIFY(!word.saveAs(QStringLiteral("/tmp/never.Doc")));
    QVERIFY(word.quit());
    QVERIFY(!word.isConnected());
}

void TestStandInOffice::sheetKeepsTexts() {
    StandInSheetApp sheet;
    QVERIFY(!sheet.newSpreadsheet());
    QVERIFY(sheet.connect());
    QVERIFY(sheet.newSpreadsheet());
    QVERIFY(sheet.writeTexts(0, 0, {{QStringLiteral("A"), QStringLiteral("B")}, {QStringLiteral("=1+1")}}));
    QVERIFY(sheet.show());
    QCOMPARE(sheet.rowCount(), 2);
    QCOMPARE(sheet.columnCount(), 2);
    QCOMPARE(sheet.readTexts(1, 0, 1, 2).value(), (QList<QStringList>{{QStringLiteral("=1+1"), QString()}}));
    QVERIFY(sheet.isShown());
}

QTEST_GUILESS_MAIN(TestStandInOffice)
#include "tst_standinoffice.moc"
