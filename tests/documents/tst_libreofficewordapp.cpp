#include "documents/OfficeFixture.h"
#include "office/LibreOfficeWordApp.h"
#include "office/OfficeProcesses.h"
#include "office/SharedOffice.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The real office, headless: every replacement must survive a save in Word 97 format and a reload.
class TestLibreOfficeWordApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void replaceReachesEveryPartAndSurvivesSave();
    void batchEqualsOneByOne_data();
    void batchEqualsOneByOne();
    void valuesLandLiterally_data();
    void valuesLandLiterally();
    void replacePassKeepsTheOfficeAlive();
    void pasteInsertsAtCursorAndFillsClipboard();
    void encloseWithoutSelectionInsertsAtCursor();
    void emptyTemplateIsABlankWordDocument();
    void failuresAreReported();
    void deadOfficeIsNoticedAndReplaced();
    void hungOfficeIsEndedAfterTheLimit_data();
    void hungOfficeIsEndedAfterTheLimit();
    void quitEndsTheOffice();
    void windowsShareOneOffice();
    void sharedOfficeEndsWithItsOwner();

private:
    QString path(const QString &name) const { return mDir.filePath(name); }
    QString reopenedText(const QString &file);

    QTemporaryDir mDir;
    DocFixtureWriter mFixtures;
    LibreOfficeWordApp mWord{LibreOfficeWordApp::Display::Headless};
    QString mMarkerDoc;
    QString mSimpleDoc;
};

namespace {

// The fixture text with every replacement applied the way the office must do it: literal, letter case ignored.
QString expectedAfter(QString text, const QList<QPair<QString, QString>> &pairs) {
    for (const auto &[marker, value] : pairs)
        text.replace(marker, value, Qt::CaseInsensitive);
    return text;
}

DocFixture markerFixture() {
    DocFixture doc;
    QStringList repeated;
    for (int i = 0; i < 8; ++i)
        repeated << QStringLiteral("第%1处[<重复>]").arg(i + 1);
    doc.paragraphs = {
        QStringLiteral("本合同由甲方[<甲方>]与乙方[<乙方>]签订。"),
        QStringLiteral("租金[<月租金>]，大写[<大写金额>]整。"),
        repeated.join(QString()),
        repeated.mid(0, 7).join(QStringLiteral("，")),
        QStringLiteral("Case: [<Unit>] [<UNIT>] [<unit>]"),
        QStringLiteral("连写[<甲方>][<乙方>][<甲方>]"),
    };
    doc.table = {{QStringLiteral("出租方"), QStringLiteral("[<甲方>]")},
                 {QStringLiteral("承租方"), QStringLiteral("租户[<乙方>]签字")}};
    doc.header = QStringLiteral("合同编号[<合同编号>]号");
    doc.footer = QStringLiteral("第[<页脚>]页");
    doc.frame = QStringLiteral("备注：[<备注>]");
    return doc;
}

} // namespace

void TestLibreOfficeWordApp::initTestCase() {
    QVERIFY(mDir.isValid());
    mMarkerDoc = path(QStringLiteral("markers.Doc"));
    QString error;
    QVERIFY2(mFixtures.write(mMarkerDoc, markerFixture(), &error), qPrintable(error));
    DocFixture simple;
    simple.paragraphs = {QStringLiteral("前[<值>]后")};
    simple.table = {{QStringLiteral("格[<值>]")}};
    simple.header = QStringLiteral("眉[<值>]");
    mSimpleDoc = path(QStringLiteral("simple.Doc"));
    QVERIFY2(mFixtures.write(mSimpleDoc, simple, &error), qPrintable(error));
    QVERIFY2(mWord.connect(), qPrintable(mWord.lastError()));
    QVERIFY(mWord.arrange());
}

void TestLibreOfficeWordApp::cleanupTestCase() {
    mWord.quit();
}

QString TestLibreOfficeWordApp::reopenedText(const QString &file) {
    if (!mWord.open(file))
        return QStringLiteral("<open failed: %1>").arg(mWord.lastError());
    return mWord.documentText().value_or(QStringLiteral("<read failed: %1>").arg(mWord.lastError()));
}

void TestLibreOfficeWordApp::replaceReachesEveryPartAndSurvivesSave() {
    QVERIFY2(mWord.open(mMarkerDoc), qPrintable(mWord.lastError()));
    const QString before = mWord.documentText().value_or(QString());
    for (const QString &part : {QStringLiteral("租户[<乙方>]签字"), QStringLiteral("合同编号[<合同编号>]号"),
                                QStringLiteral("第[<页脚>]页"), QStringLiteral("备注：[<备注>]")})
        QVERIFY2(before.contains(part), qPrintable(QStringLiteral("fixture lacks %1:\n%2").arg(part, before)));

    const QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("[<甲方>]"), QStringLiteral("张三房产有限公司")},
        {QStringLiteral("[<乙方>]"), QStringLiteral("李四")},
        {QStringLiteral("[<月租金>]"), QStringLiteral("3500元")},
        {QStringLiteral("[<大写金额>]"), QStringLiteral("叁仟伍佰元")},
        {QStringLiteral("[<重复>]"), QStringLiteral("R")},
        {QStringLiteral("[<unit>]"), QStringLiteral("平方米")},
        {QStringLiteral("[<合同编号>]"), QStringLiteral("HT-2026-001")},
        {QStringLiteral("[<页脚>]"), QStringLiteral("1")},
        {QStringLiteral("[<备注>]"), QStringLiteral("押一付三")},
    };
    const QList<int> expectedCounts = {4, 3, 1, 1, 15, 3, 1, 1, 1};
    for (int i = 0; i < pairs.size(); ++i) {
        int count = -1;
        QVERIFY2(mWord.replace(pairs[i].first, pairs[i].second, &count), qPrintable(mWord.lastError()));
        QCOMPARE(count, expectedCounts[i]);
    }
    const QString saved = path(QStringLiteral("filled.Doc"));
    QVERIFY2(mWord.saveAs(saved), qPrintable(mWord.lastError()));
    QVERIFY(QFileInfo(saved).size() > 0);

    const QString after = reopenedText(saved);
    const QString expected = expectedAfter(before, pairs);
    if (after != expected)
        qWarning().noquote() << "after:\n" << after << "\nexpected:\n" << expected;
    QCOMPARE(after, expected);
    QVERIFY(!after.contains(QStringLiteral("[<")));
}

using Pairs = QList<QPair<QString, QString>>;

void TestLibreOfficeWordApp::batchEqualsOneByOne_data() {
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<Pairs>("pairs");

    const QStringList common = {QStringLiteral("甲[<甲方>]乙[<乙方>]，[<A>][<a>]"),
                                QStringLiteral("[<未知>]与[<乙方>]"), QStringLiteral("末尾[<金额>]")};
    QTest::newRow("plain") << common
                           << Pairs{{QStringLiteral("[<甲方>]"), QStringLiteral("张三")},
                                    {QStringLiteral("[<乙方>]"), QStringLiteral("李四")},
                                    {QStringLiteral("[<a>]"), QStringLiteral("x")}};
    QTest::newRow("value holds a later marker") << common
                                                << Pairs{{QStringLiteral("[<甲方>]"), QStringLiteral("见[<乙方>]")},
                                                         {QStringLiteral("[<乙方>]"), QStringLiteral("李四")}};
    QTest::newRow("value holds an earlier marker") << common
                                                   << Pairs{{QStringLiteral("[<甲方>]"), QStringLiteral("张三")},
                                                            {QStringLiteral("[<乙方>]"), QStringLiteral("同[<甲方>]")}};
    QTest::newRow("value holds its own marker")
        << common << Pairs{{QStringLiteral("[<乙方>]"), QStringLiteral("[<乙方>]!")}};
    QTest::newRow("same marker twice") << common
                                       << Pairs{{QStringLiteral("[<A>]"), QStringLiteral("1")},
                                                {QStringLiteral("[<a>]"), QStringLiteral("2")}};
    QTest::newRow("line break and specials") << common
                                             << Pairs{{QStringLiteral("[<金额>]"), QStringLiteral("一\n二&$1\\")},
                                                      {QStringLiteral("[<甲方>]"), QStringLiteral("[<金额>]")}};
    QTest::newRow("marker inside brackets") << QStringList{QStringLiteral("[<x[<甲方>]"), QStringLiteral("[<甲方>]>]")}
                                            << Pairs{{QStringLiteral("[<甲方>]"), QStringLiteral("张三")}};
    QStringList many;
    for (int i = 0; i < 60; ++i)
        many << QStringLiteral("%1[<甲方>][<乙方>]、[<A>]，[<未知>]").arg(i);
    QTest::newRow("many occurrences") << many
                                      << Pairs{{QStringLiteral("[<甲方>]"), QStringLiteral("见[<乙方>]")},
                                               {QStringLiteral("[<乙方>]"), QStringLiteral("李四")},
                                               {QStringLiteral("[<a>]"), QStringLiteral("一\n二")}};
    QTest::newRow("find text not a marker")
        << common
        << Pairs{{QStringLiteral("乙"), QStringLiteral("B")}, {QStringLiteral("[<甲方>]"), QStringLiteral("张三")}};
}

// The batch must leave exactly what replacing pair after pair leaves, with the same counts.
void TestLibreOfficeWordApp::batchEqualsOneByOne() {
    QFETCH(QStringList, paragraphs);
    QFETCH(Pairs, pairs);
    DocFixture content;
    content.paragraphs = paragraphs;
    content.table = {{paragraphs.first()}};
    content.header = paragraphs.last();
    const QString file = path(QStringLiteral("batch.Doc"));
    QString error;
    QVERIFY2(mFixtures.write(file, content, &error), qPrintable(error));

    QVERIFY(mWord.open(file));
    QList<int> expectedCounts;
    for (const auto &[marker, value] : pairs) {
        int count = 0;
        QVERIFY(mWord.replace(marker, value, &count));
        expectedCounts << count;
    }
    const QString expected = mWord.documentText().value_or(QString());

    QVERIFY(mWord.open(file));
    QList<int> counts;
    QVERIFY2(mWord.replaceInOrder(pairs, &counts), qPrintable(mWord.lastError()));
    QCOMPARE(mWord.documentText().value_or(QString()), expected);
    QCOMPARE(counts, expectedCounts);
}

// A contract as offices write them: markers in the body, a table, header, footer, a text box and a grouped drawing
// of text boxes. The replace pass ran over such a document again and again ("重新生成") must never end the office.
void TestLibreOfficeWordApp::replacePassKeepsTheOfficeAlive() {
    DocFixture lease;
    Pairs pairs;
    QStringList markers;
    for (int i = 0; i < 44; ++i) {
        const QString marker = QStringLiteral("[<指标%1>]").arg(i);
        markers << marker;
        pairs << qMakePair(marker,
                           i % 11 == 5 ? QStringLiteral("第一行\n第二行%1").arg(i) : QStringLiteral("值%1").arg(i));
    }
    for (int i = 0; i < 24; ++i)
        lease.paragraphs << QStringLiteral("第%1条 出租方%2，承租方%3。").arg(i).arg(markers[i], markers[(i + 7) % 44]);
    lease.table = {{markers[24], markers[25], markers[26]},
                   {markers[27], QStringLiteral("租金") + markers[28], markers[29]}};
    lease.header = QStringLiteral("合同编号") + markers[30];
    lease.footer = QStringLiteral("签订日期") + markers[31];
    lease.textBox = QStringLiteral("房屋坐落：%1，面积%2").arg(markers[32], markers[33]);
    lease.groupedTextBoxes = {
        QStringLiteral("出租方签章%1%2").arg(markers[34], markers[35]),
        QStringLiteral("承租方签章%1%2%3").arg(markers[36], markers[37], markers[38]),
        QStringLiteral("%1%2%3%4%5").arg(markers[39], markers[40], markers[41], markers[42], markers[43])};
    const QString file = path(QStringLiteral("lease.Doc"));
    QString error;
    QVERIFY2(mFixtures.write(file, lease, &error), qPrintable(error));
    QVERIFY2(mWord.open(file), qPrintable(mWord.lastError()));
    const QString before = mWord.documentText().value_or(QString());
    for (const QString &part : {lease.textBox, lease.groupedTextBoxes.last()})
        QVERIFY2(before.contains(part), qPrintable(QStringLiteral("fixture lacks %1:\n%2").arg(part, before)));

    for (int round = 1; round <= 50; ++round) {
        QVERIFY2(mWord.open(file), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(mWord.lastError())));
        QVERIFY2(mWord.replaceInOrder(pairs),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(mWord.lastError())));
        // "重新生成" on the filled document: nothing left to find, and still nothing may break.
        QVERIFY2(mWord.replaceInOrder(pairs),
                 qPrintable(QStringLiteral("round %1, again: %2").arg(round).arg(mWord.lastError())));
        if (round == 1)
            QCOMPARE(mWord.documentText().value_or(QString()), expectedAfter(before, pairs));
    }
    QVERIFY(mWord.isConnected());
}

void TestLibreOfficeWordApp::valuesLandLiterally_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // as the document reads back

    QTest::newRow("ampersand") << QStringLiteral("A&B有限公司") << QStringLiteral("A&B有限公司");
    QTest::newRow("group reference") << QStringLiteral("$1 and $0") << QStringLiteral("$1 and $0");
    QTest::newRow("backslashes") << QStringLiteral("C:\\合同\\n1\\") << QStringLiteral("C:\\合同\\n1\\");
    QTest::newRow("marker opener") << QStringLiteral("[<甲方") << QStringLiteral("[<甲方");
    QTest::newRow("whole marker") << QStringLiteral("见[<值>]") << QStringLiteral("见[<值>]");
    QTest::newRow("regex characters") << QStringLiteral(".*+?^()[]{}|") << QStringLiteral(".*+?^()[]{}|");
    QTest::newRow("word wildcards") << QStringLiteral("^p^t^&") << QStringLiteral("^p^t^&");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("line feed") << QStringLiteral("第一行\n第二行") << QStringLiteral("第一行\n第二行");
    QTest::newRow("carriage return line feed")
        << QStringLiteral("第一行\r\n第二行") << QStringLiteral("第一行\n第二行");
}

void TestLibreOfficeWordApp::valuesLandLiterally() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QVERIFY2(mWord.open(mSimpleDoc), qPrintable(mWord.lastError()));
    int count = 0;
    QVERIFY2(mWord.replace(QStringLiteral("[<值>]"), value, &count), qPrintable(mWord.lastError()));
    QCOMPARE(count, 3);
    const QString saved = path(QStringLiteral("literal.Doc"));
    QVERIFY2(mWord.saveAs(saved), qPrintable(mWord.lastError()));
    const QString text = reopenedText(saved);
    // The empty paragraph after the table is part of the document.
    QCOMPARE(text, QStringLiteral("前%1后\n格%1\n\n眉%1").arg(expected));
}

void TestLibreOfficeWordApp::pasteInsertsAtCursorAndFillsClipboard() {
    QString clipboard;
    mWord.setClipboardWriter([&clipboard](const QString &text) { clipboard = text; });
    QVERIFY2(mWord.open(mSimpleDoc), qPrintable(mWord.lastError()));
    QVERIFY2(mWord.paste(QStringLiteral("[<总价>]")), qPrintable(mWord.lastError()));
    QVERIFY(mWord.paste(QStringLiteral("、")));
    mWord.setClipboardWriter({});
    QCOMPARE(clipboard, QStringLiteral("、"));
    const QString saved = path(QStringLiteral("pasted.Doc"));
    QVERIFY(mWord.saveAs(saved));
    QVERIFY(reopenedText(saved).startsWith(QStringLiteral("[<总价>]、前[<值>]后\n")));
}

void TestLibreOfficeWordApp::encloseWithoutSelectionInsertsAtCursor() {
    QVERIFY2(mWord.open(mSimpleDoc), qPrintable(mWord.lastError()));
    QVERIFY2(mWord.encloseSelection(QStringLiteral("[<如果:甲方>]"), QStringLiteral("[<结束>]")),
             qPrintable(mWord.lastError()));
    const QString saved = path(QStringLiteral("enclosed.Doc"));
    QVERIFY(mWord.saveAs(saved));
    QVERIFY2(reopenedText(saved).startsWith(QStringLiteral("[<如果:甲方>][<结束>]前[<值>]后\n")),
             qPrintable(reopenedText(saved)));
}

void TestLibreOfficeWordApp::emptyTemplateIsABlankWordDocument() {
    QVERIFY2(mWord.open(QStringLiteral(VANTREL_EMPTY_DOC)), qPrintable(mWord.lastError()));
    QCOMPARE(mWord.documentText().value_or(QStringLiteral("<unreadable>")), QString());
    QVERIFY(mWord.paste(QStringLiteral("[<甲方>]")));
    const QString saved = path(QStringLiteral("fromEmpty.Doc"));
    QVERIFY(mWord.saveAs(saved));
    QCOMPARE(reopenedText(saved), QStringLiteral("[<甲方>]"));
}

void TestLibreOfficeWordApp::failuresAreReported() {
    QVERIFY(!mWord.open(path(QStringLiteral("missing.Doc"))));
    QVERIFY(!mWord.lastError().isEmpty());

    QVERIFY2(mWord.open(mSimpleDoc), qPrintable(mWord.lastError()));
    QVERIFY(!mWord.saveAs(path(QStringLiteral("no/such/folder/x.Doc"))));
    QVERIFY(!mWord.lastError().isEmpty());
    QVERIFY(!mWord.replace(QString(), QStringLiteral("x")));
    QVERIFY(mWord.hasDocument());

    // No office program at all: connect fails at once with a reason, and nothing else pretends to work.
    qputenv("VANTREL_SOFFICE", "/nonexistent/soffice");
    LibreOfficeWordApp missing(LibreOfficeWordApp::Display::Headless);
    QElapsedTimer timer;
    timer.start();
    const bool connected = missing.connect();
    qunsetenv("VANTREL_SOFFICE");
    QVERIFY(!connected);
    QVERIFY(timer.elapsed() < 10000);
    QVERIFY(!missing.lastError().isEmpty());
    QVERIFY(!missing.open(mSimpleDoc));
    QVERIFY(missing.quit());
}

void TestLibreOfficeWordApp::deadOfficeIsNoticedAndReplaced() {
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY2(word.open(mSimpleDoc), qPrintable(word.lastError()));
    OfficeTestAccess::killOffice(word);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!word.replace(QStringLiteral("[<值>]"), QStringLiteral("x")));
    QVERIFY(!word.saveAs(path(QStringLiteral("dead.Doc"))));
    QVERIFY(!word.open(mSimpleDoc));
    QVERIFY(!word.isConnected());
    QVERIFY(timer.elapsed() < 5000);

    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY2(word.open(mSimpleDoc), qPrintable(word.lastError()));
    QVERIFY(word.documentText().value_or(QString()).contains(QStringLiteral("前[<值>]后")));
    QVERIFY(word.quit());
}

void TestLibreOfficeWordApp::hungOfficeIsEndedAfterTheLimit_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("replace") << QStringLiteral("replace");
    QTest::newRow("print") << QStringLiteral("print");
    QTest::newRow("e-mail") << QStringLiteral("sendMail");
    QTest::newRow("reading the text") << QStringLiteral("documentText");
}

void TestLibreOfficeWordApp::hungOfficeIsEndedAfterTheLimit() {
    QFETCH(QString, operation);
    qputenv("VANTREL_OFFICE_CALL_TIMEOUT_MS", "2000");
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY2(word.open(mSimpleDoc), qPrintable(word.lastError()));
    OfficeTestAccess::freezeOffice(word);

    QElapsedTimer timer;
    timer.start();
    bool ok = true;
    if (operation == QLatin1String("replace"))
        ok = word.replace(QStringLiteral("[<值>]"), QStringLiteral("x"));
    else if (operation == QLatin1String("print"))
        ok = word.print();
    else if (operation == QLatin1String("documentText"))
        ok = word.documentText().has_value();
    else
        ok = word.sendMail();
    QVERIFY(!ok);
    const qint64 waited = timer.elapsed();
    qunsetenv("VANTREL_OFFICE_CALL_TIMEOUT_MS");
    QVERIFY2(waited >= 1900 && waited < 10000, qPrintable(QString::number(waited)));
    QVERIFY2(word.lastError().contains(QStringLiteral("没有响应")), qPrintable(word.lastError()));
    QVERIFY(!word.isConnected());
    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY2(word.open(mSimpleDoc), qPrintable(word.lastError()));
    QVERIFY(word.quit());
}

void TestLibreOfficeWordApp::quitEndsTheOffice() {
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY(word.open(mSimpleDoc));
    QVERIFY(word.replace(QStringLiteral("[<值>]"), QStringLiteral("未保存")));
    QVERIFY(word.quit());
    QVERIFY(!word.isConnected());
    QVERIFY(!word.hasDocument());
    QVERIFY(!word.open(mSimpleDoc));

    // A window that disconnected (no template to open) still ends its office, in order and at once.
    QVERIFY(word.connect());
    word.disconnect();
    QVERIFY(!word.isConnected());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(word.quit());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    // Quit never saves.
    QVERIFY2(mWord.open(mSimpleDoc), qPrintable(mWord.lastError()));
    QVERIFY(mWord.documentText().value_or(QString()).contains(QStringLiteral("前[<值>]后")));
}

void TestLibreOfficeWordApp::windowsShareOneOffice() {
    // Started in the background when the program comes up; a window that comes first waits for it.
    const int before = OfficeProcesses::count();
    SharedOffice shared;
    shared.startInBackground();
    LibreOfficeWordApp first(shared);
    QTRY_VERIFY_WITH_TIMEOUT(!first.isStarting(), 60000);
    QVERIFY2(first.connect(), qPrintable(first.lastError()));
    QCOMPARE(OfficeProcesses::count(), before + 1);

    // Two windows, one office, a document each.
    LibreOfficeWordApp second(shared);
    QVERIFY(!second.isStarting());
    QVERIFY2(second.connect(), qPrintable(second.lastError()));
    QCOMPARE(OfficeProcesses::count(), before + 1);
    QVERIFY2(first.open(mSimpleDoc), qPrintable(first.lastError()));
    QVERIFY2(second.open(mMarkerDoc), qPrintable(second.lastError()));
    QVERIFY(first.documentText().value_or(QString()).contains(QStringLiteral("前[<值>]后")));

    // Closing one window closes its document, not the office the other one works in.
    QVERIFY(first.quit());
    QVERIFY(second.hasDocument());
    QVERIFY2(second.replace(QStringLiteral("[<重复>]"), QStringLiteral("甲")), qPrintable(second.lastError()));
    QVERIFY(second.documentText().value_or(QString()).contains(QStringLiteral("第1处甲")));
    QCOMPARE(OfficeProcesses::count(), before + 1);

    // An office that died is replaced on the next window's use.
    OfficeTestAccess::killOffice(second);
    LibreOfficeWordApp third(shared);
    QVERIFY2(third.connect(), qPrintable(third.lastError()));
    QVERIFY2(third.open(mSimpleDoc), qPrintable(third.lastError()));
    QVERIFY(!second.hasDocument());
    QVERIFY(third.quit());
    OfficeProcesses::endAll();
    QCOMPARE(OfficeProcesses::count(), 0);
}

void TestLibreOfficeWordApp::sharedOfficeEndsWithItsOwner() {
    // The office the windows share belongs to whoever made it: it goes with its owner, not only with the program.
    const int before = OfficeProcesses::count();
    auto shared = std::make_unique<SharedOffice>();
    {
        LibreOfficeWordApp window(*shared);
        QVERIFY2(window.connect(), qPrintable(window.lastError()));
        QVERIFY2(window.open(mSimpleDoc), qPrintable(window.lastError()));
        QCOMPARE(OfficeProcesses::count(), before + 1);
    }
    // The window's document is closed; the office stays for the next window.
    QCOMPARE(OfficeProcesses::count(), before + 1);
    shared.reset();
    QCOMPARE(OfficeProcesses::count(), before);
}

QTEST_GUILESS_MAIN(TestLibreOfficeWordApp)
#include "tst_libreofficewordapp.moc"
