#include "text/GbkText.h"
#include "text/TextHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTextHelpers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void padZeros_data();
    void padZeros();
    void maskToFloatFormat_data();
    void maskToFloatFormat();
    void cleanNumberText_data();
    void cleanNumberText();
    void indexOfText_data();
    void indexOfText();
    void countSubText_data();
    void countSubText();
    void copyFileContent();
    void copyFileContentFailures();
    void gbkLength_data();
    void gbkLength();
    void gbkLeftNeverSplits();
};

void TestTextHelpers::padZeros_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");

    QTest::newRow("short") << u"7"_s << 4 << u"0007"_s << u"7000"_s;
    QTest::newRow("longer is never cut") << u"45678"_s << 4 << u"45678"_s << u"45678"_s;
    QTest::newRow("exact") << u"1234"_s << 4 << u"1234"_s << u"1234"_s;
    QTest::newRow("empty") << QString() << 3 << u"000"_s << u"000"_s;
    QTest::newRow("width zero") << u"5"_s << 0 << u"5"_s << u"5"_s;
    QTest::newRow("chinese counts as one") << u"合同"_s << 3 << u"0合同"_s << u"合同0"_s;
}

void TestTextHelpers::padZeros() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QCOMPARE(PadLeftZeros(text, width), left);
    QCOMPARE(PadRightZeros(text, width), right);
}

void TestTextHelpers::maskToFloatFormat_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("format");

    QTest::newRow("two decimals") << u"99999999999.99"_s << u"0.00"_s;
    QTest::newRow("four decimals") << u"99999999999.9999"_s << u"0.0000"_s;
    QTest::newRow("no point") << u"9999999999"_s << u"0"_s;
    QTest::newRow("empty") << QString() << u"0"_s;
    QTest::newRow("optional decimals") << u"999.##"_s << u"0.##"_s;
    QTest::newRow("only the first point counts") << u"9.9.9"_s << u"0.0.0"_s;
}

void TestTextHelpers::maskToFloatFormat() {
    QFETCH(QString, mask);
    QFETCH(QString, format);
    QCOMPARE(MaskToFloatFormat(mask), format);
}

void TestTextHelpers::cleanNumberText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("untouched decimal mask") << u"           .  "_s << u"0.0"_s;
    QTest::newRow("typed before the point") << u"456        .  "_s << u"456"_s;
    QTest::newRow("untouched default mask") << u"          "_s << u"0"_s;
    QTest::newRow("blanks between digits") << u"4 5 6"_s << u"456"_s;
    QTest::newRow("point zero") << u".0"_s << u"0.0"_s;
    QTest::newRow("fraction only") << u".5"_s << u".5"_s;
    QTest::newRow("full") << u"  1250.50"_s << u"1250.50"_s;
    QTest::newRow("letters are left for the reader") << u"12a"_s << u"12a"_s;
}

void TestTextHelpers::cleanNumberText() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CleanNumberText(text), expected);
}

void TestTextHelpers::indexOfText_data() {
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<qsizetype>("expected");

    const QStringList columns{u"Data1"_s, u"Data10"_s, u"Data2"_s, u"Data2"_s};
    QTest::newRow("exact") << columns << u"Data2"_s << false << qsizetype(2);
    QTest::newRow("exact ignores beginnings") << columns << u"Data"_s << false << qsizetype(-1);
    QTest::newRow("beginning") << columns << u"Data1"_s << true << qsizetype(0);
    QTest::newRow("beginning later") << columns << u"Data10"_s << true << qsizetype(1);
    QTest::newRow("case matters") << columns << u"data1"_s << false << qsizetype(-1);
    QTest::newRow("empty prefix matches nothing") << columns << QString() << true << qsizetype(-1);
    QTest::newRow("empty text equals an empty item")
        << QStringList{u"a"_s, QString()} << QString() << false << qsizetype(1);
    QTest::newRow("empty list") << QStringList() << u"a"_s << false << qsizetype(-1);
}

void TestTextHelpers::indexOfText() {
    QFETCH(QStringList, list);
    QFETCH(QString, text);
    QFETCH(bool, prefix);
    QFETCH(qsizetype, expected);
    QCOMPARE(IndexOfText(list, text, prefix), expected);
}

void TestTextHelpers::countSubText_data() {
    QTest::addColumn<QString>("sub");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("separators") << u"|"_s << u"a|b|c"_s << 2;
    QTest::newRow("non-overlapping") << u"aa"_s << u"aaaa"_s << 2;
    QTest::newRow("overlap counted once") << u"aa"_s << u"aaa"_s << 1;
    QTest::newRow("none") << u"x"_s << u"abc"_s << 0;
    QTest::newRow("empty sub") << QString() << u"abc"_s << 0;
    QTest::newRow("chinese") << u"合同"_s << u"合同甲合同乙"_s << 2;
}

void TestTextHelpers::countSubText() {
    QFETCH(QString, sub);
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(CountSubText(sub, text), expected);
}

void TestTextHelpers::copyFileContent() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray content;
    for (int i = 0; i < 200000; ++i)
        content.append(char(i % 251));
    const QString source = dir.filePath(u"模板.Doc"_s);
    const QString dest = dir.filePath(u"1.Doc"_s);
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        QFile old(dest);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500000, 'x')); // a longer file of that name is replaced, not overwritten in part
    }

    const TextResult<qint64> r = CopyFileContent(source, dest);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, qint64(content.size()));
    QFile copy(dest);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), content);
    copy.close();

    // Onto itself: the file must survive whole.
    QVERIFY(CopyFileContent(source, source).ok);
    QFile self(source);
    QVERIFY(self.open(QIODevice::ReadOnly));
    QCOMPARE(self.readAll(), content);
}

void TestTextHelpers::copyFileContentFailures() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString dest = dir.filePath(u"1.Doc"_s);
    {
        QFile f(dest);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }

    const TextResult<qint64> missing = CopyFileContent(dir.filePath(u"无.Doc"_s), dest);
    QVERIFY(!missing.ok);
    QVERIFY2(missing.error.startsWith(u"无法打开文件“"_s), qPrintable(missing.error));
    QFile kept(dest);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep"));

    const TextResult<qint64> noFolder = CopyFileContent(dest, dir.filePath(u"无此目录/1.Doc"_s));
    QVERIFY(!noFolder.ok);
    QVERIFY2(noFolder.error.startsWith(u"无法创建文件“"_s), qPrintable(noFolder.error));
}

void TestTextHelpers::gbkLength_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("bytes");

    QTest::newRow("empty") << QString() << qsizetype(0);
    QTest::newRow("latin") << u"abc"_s << qsizetype(3);
    QTest::newRow("chinese") << u"合同分类"_s << qsizetype(8);
    QTest::newRow("mixed") << u"A类合同1"_s << qsizetype(8);
    QTest::newRow("full-width punctuation") << u"（一）"_s << qsizetype(6);
    QTest::newRow("outside GBK becomes one byte") << u"😀"_s << qsizetype(1);
}

void TestTextHelpers::gbkLength() {
    QFETCH(QString, text);
    QFETCH(qsizetype, bytes);
    QCOMPARE(GbkByteLength(text), bytes);
}

void TestTextHelpers::gbkLeftNeverSplits() {
    const QString twenty = u"一二三四五六七八九十甲乙丙丁戊己庚辛壬癸"_s;
    QCOMPARE(twenty.size(), 20);
    QCOMPARE(GbkLeft(twenty, 30), twenty.left(15));
    QCOMPARE(GbkLeft(u"abc"_s, 30), u"abc"_s);
    QCOMPARE(GbkLeft(u"ab合同"_s, 0), QString());

    // Every cut of a mix of Latin and Chinese keeps whole characters and uses the room it has.
    const QString mixed = u"A合B同C类😀D"_s;
    for (qsizetype limit = 0; limit <= GbkByteLength(mixed) + 1; ++limit) {
        const QString cut = GbkLeft(mixed, limit);
        QVERIFY(mixed.startsWith(cut));
        QVERIFY(GbkByteLength(cut) <= limit);
        if (cut.size() < mixed.size()) {
            QVERIFY2(cut.isEmpty() || !cut.back().isHighSurrogate(), qPrintable(QString::number(limit)));
            const qsizetype next = mixed.at(cut.size()).isHighSurrogate() ? 2 : 1;
            QVERIFY(GbkByteLength(mixed.left(cut.size() + next)) > limit);
        }
    }
    QCOMPARE(GbkLeft(u"ab合同"_s, 3), u"ab"_s);
    QCOMPARE(GbkLeft(u"ab合同"_s, 4), u"ab合"_s);
}

QTEST_GUILESS_MAIN(TestTextHelpers)
#include "tst_texthelpers.moc"
