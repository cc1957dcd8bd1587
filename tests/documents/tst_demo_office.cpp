// The demo content on a fresh database, turned into contract documents by the real office (headless).

#include "demo/DemoContent.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "office/LibreOfficeWordApp.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TestDemoOffice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void installsOnceOnAFreshDatabase();
    void everyRecordGeneratesWithoutAMarkerLeft();

private:
    TempAppFolder mApp;
    ScriptedMessages mMessages;
};

void TestDemoOffice::installsOnceOnAFreshDatabase() {
    QVERIFY(mApp.isValid());
    QString message;
    QCOMPARE(DemoContent::install(mApp.database(), &message), DemoContent::Result::Installed);
    QCOMPARE(mApp.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("2"));
    QCOMPARE(
        mApp.scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE MainTypeCode=?"), {DemoContent::ChildCode}),
        QStringLiteral("16"));
    QCOMPARE(mApp.scalar(QStringLiteral("SELECT count(*) FROM TContractMain")), QStringLiteral("3"));
    QVERIFY(QFileInfo::exists(DocumentPaths::templateFile(DemoContent::ChildCode)));
    // Every kind of indicator is there.
    const QStringList conditions{QStringLiteral("DefaultSelect<>''"),
                                 QStringLiteral("HisSelect=1"),
                                 QStringLiteral("Unit<>'' AND PropertyType=1"),
                                 QStringLiteral("CalcStr LIKE '[MONEY_STOB]%'"),
                                 QStringLiteral("CalcStr LIKE '[DATE_STOB]%'"),
                                 QStringLiteral("CalcStr LIKE '[GETBILLID]{%}'"),
                                 QStringLiteral("CalcStr='[月租金]*[租期]'"),
                                 QStringLiteral("NoNull=1"),
                                 QStringLiteral("IsSortField=1"),
                                 QStringLiteral("PropertyType=2")};
    for (const QString &condition : conditions) {
        QVERIFY2(mApp.scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE ") + condition).toInt() > 0,
                 qPrintable(condition));
    }

    QCOMPARE(DemoContent::install(mApp.database(), &message), DemoContent::Result::Skipped);
    QCOMPARE(mApp.scalar(QStringLiteral("SELECT count(*) FROM TContractMain")), QStringLiteral("3"));
}

void TestDemoOffice::everyRecordGeneratesWithoutAMarkerLeft() {
    Messages::setInstance(&mMessages);
    const QStringList ids = {QStringLiteral("1"), QStringLiteral("2")};
    LibreOfficeWordApp reader(LibreOfficeWordApp::Display::Headless);
    QVERIFY2(reader.connect(), qPrintable(reader.lastError()));
    for (const QString &idText : ids) {
        const int id = idText.toInt();
        const QString path = DocumentPaths::contractFile(id);
        {
            LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
            ContractDocument document(word, QString(), path, id);
            QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
            QVERIFY(document.save());
            document.close();
        }
        // VANTREL_DEMO_OUTPUT names a folder that keeps the generated documents for a look at them.
        const QString keep = qEnvironmentVariable("VANTREL_DEMO_OUTPUT");
        if (!keep.isEmpty())
            QFile::copy(path, QDir(keep).filePath(QFileInfo(path).fileName()));
        QVERIFY2(reader.open(path), qPrintable(reader.lastError()));
        const QString text = reader.documentText().value_or(QString());
        QVERIFY2(!text.contains(QStringLiteral("[<")), qPrintable(text));
        const QString number = mApp.scalar(QStringLiteral("SELECT Data1 FROM TContractMain WHERE ID=?"), {id});
        QVERIFY2(text.contains(QStringLiteral("合同编号：") + number), qPrintable(text));
        const QString capital = mApp.scalar(QStringLiteral("SELECT Data10 FROM TContractMain WHERE ID=?"), {id});
        QVERIFY2(text.contains(QStringLiteral("（大写：") + capital + QStringLiteral("）")), qPrintable(text));
        // The first lease names a guarantor: its clause, table row and signature line are there, the later
        // article numbered on; the second names none and reads as if the template had no such clause.
        const bool guarantor = id == 1;
        QCOMPARE(text.contains(QStringLiteral("第五条　保证")), guarantor);
        QCOMPARE(text.contains(QStringLiteral("保证人：王建华")), guarantor);
        QVERIFY2(text.contains(guarantor ? QStringLiteral("第六条　其他") : QStringLiteral("第五条　其他")),
                 qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("保证人")), guarantor);
    }
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
    reader.quit();
}

QTEST_MAIN(TestDemoOffice)
#include "tst_demo_office.moc"
