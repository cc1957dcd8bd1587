#include "documents/OfficeFixture.h"
#include "office/OfficePdfRenderer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The template tab's read-only view: a PDF of the document, rendered once per version of the file.
class TestOfficePdfRenderer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rendersChineseTextAndCaches();
    void missingOrBrokenFilesFail();
};

void TestOfficePdfRenderer::rendersChineseTextAndCaches() {
    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("1001.Doc"));
    DocFixture content;
    content.paragraphs = {QStringLiteral("房屋租赁合同"), QStringLiteral("出租方：[<甲方>]")};
    QString error;
    QVERIFY2(writeDocFixture(doc, content, &error), qPrintable(error));

    OfficePdfRenderer renderer(dir.filePath(QStringLiteral("cache")));
    QString pdf;
    QVERIFY2(renderer.pdfFor(doc, &pdf), qPrintable(renderer.lastError()));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(5), QByteArray("%PDF-"));
    file.close();

    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"),
                        {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY(pdftotext.waitForFinished(30'000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("房屋租赁合同")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("出租方：[<甲方>]")), qPrintable(text));
    }

    QElapsedTimer timer;
    timer.start();
    QString again;
    QVERIFY(renderer.pdfFor(doc, &again));
    QCOMPARE(again, pdf);
    QVERIFY(timer.elapsed() < 100);

    // A changed file gets a fresh rendering, and the stale one goes.
    content.paragraphs << QStringLiteral("第二版");
    QVERIFY2(writeDocFixture(doc, content, &error), qPrintable(error));
    QFile touched(doc);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    touched.close();
    QString third;
    QVERIFY2(renderer.pdfFor(doc, &third), qPrintable(renderer.lastError()));
    QVERIFY(third != pdf);
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(QFile::exists(third));
}

void TestOfficePdfRenderer::missingOrBrokenFilesFail() {
    QTemporaryDir dir;
    OfficePdfRenderer renderer(dir.filePath(QStringLiteral("cache")));
    QString pdf;
    QVERIFY(!renderer.pdfFor(dir.filePath(QStringLiteral("none.Doc")), &pdf));
    QVERIFY(!renderer.lastError().isEmpty());
    QVERIFY(pdf.isEmpty());
}

QTEST_GUILESS_MAIN(TestOfficePdfRenderer)
#include "tst_officepdfrenderer.moc"
