// vantrel-generate as a script calls it: exit codes, one line per document on standard output, the documents and
// PDFs where the register would put them, a document open in a window left alone.

#include "documents/ClauseCases.h"
#include "documents/PackageFiles.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

const QString Code = QStringLiteral("00010001");

struct Run {
    int exitCode = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

Run generate(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(VANTREL_GENERATE), arguments);
    Run run;
    if (!process.waitForFinished(240000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class TestGenerateCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void badArguments_data();
    void badArguments();
    void generatesEveryRecord();
    void keptDocumentsGetTheirPdf();
    void verifiesWhatItWrote();
    void partlyFailingRun();
    void pdfNotWrittenIsAFailure();
    void categoryWithoutContracts_data();
    void categoryWithoutContracts();
    void reportsClauseProblems();
    void verboseSaysWhereTheTimeGoes();

private:
    TempAppFolder mApp;
    int mFirst = 0;
    int mSecond = 0;
};

void TestGenerateCli::initTestCase() {
    QVERIFY(mApp.isValid());
    QVERIFY(mApp.addCategoryTree({{Code, QStringLiteral("房屋租赁合同")}}, QStringLiteral("房屋租赁")));
    QVERIFY(mApp.addIndicator(Code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    // A .docx template as the word processor writes it.
    QFile source(mApp.file(QStringLiteral("DB/ModelFiles/%1.fodt").arg(Code)));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text"><office:body><office:text>
<text:p>甲方：[&lt;甲方&gt;]</text:p></office:text></office:body></office:document>)");
    source.close();
    QProcess convert;
    convert.start(QStringLiteral("soffice"),
                  {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                   QStringLiteral("-env:UserInstallation=file://") + mApp.file(QStringLiteral("profile")),
                   QStringLiteral("--convert-to"), QStringLiteral("docx"), QStringLiteral("--outdir"),
                   mApp.file(QStringLiteral("DB/ModelFiles")), source.fileName()});
    QVERIFY(convert.waitForFinished(180000) && convert.exitCode() == 0);
    QVERIFY(QFile::remove(source.fileName()));
    QVERIFY(QFile::exists(mApp.file(QStringLiteral("DB/ModelFiles/%1.docx").arg(Code))));
    for (const QString &name : {QStringLiteral("张三"), QStringLiteral("李四")})
        QVERIFY(
            mApp.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, ?)"), {Code, name}));
    mSecond = mApp.scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    mFirst = mSecond - 1;
    QVERIFY(mApp.addCategory(QStringLiteral("00010002"), QStringLiteral("尚无合同的类别"), QStringLiteral("0001")));
}

void TestGenerateCli::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("no records given") << QStringList{QStringLiteral("--folder"), mApp.path(),
                                                     QStringLiteral("--category"), Code};
    QTest::newRow("records and all") << QStringList{
        QStringLiteral("--folder"),  mApp.path(),        QStringLiteral("--category"), Code, QStringLiteral("--all"),
        QStringLiteral("--records"), QStringLiteral("1")};
    QTest::newRow("record that is no number")
        << QStringList{QStringLiteral("--folder"),  mApp.path(),          QStringLiteral("--category"), Code,
                       QStringLiteral("--records"), QStringLiteral("1,x")};
    QTest::newRow("unknown category") << QStringList{QStringLiteral("--folder"), mApp.path(),
                                                     QStringLiteral("--category"), QStringLiteral("9999"),
                                                     QStringLiteral("--all")};
    QTest::newRow("folder without database") << QStringList{
        QStringLiteral("--folder"), QDir::tempPath(), QStringLiteral("--category"), Code, QStringLiteral("--all")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour")};
    QTest::newRow("verify without a document")
        << QStringList{QStringLiteral("--folder"), mApp.path(), QStringLiteral("--verify")};
    QTest::newRow("verify while generating") << QStringList{QStringLiteral("--folder"),
                                                            mApp.path(),
                                                            QStringLiteral("--category"),
                                                            Code,
                                                            QStringLiteral("--all"),
                                                            QStringLiteral("--verify"),
                                                            mApp.file(QStringLiteral("DB/ContractFile/1.docx"))};
}

void TestGenerateCli::badArguments() {
    QFETCH(QStringList, arguments);
    const Run run = generate(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.contains(QStringLiteral("用法")), qPrintable(run.errors));
    QVERIFY(run.lines.isEmpty());
}

void TestGenerateCli::generatesEveryRecord() {
    const Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), Code,
                              QStringLiteral("--all"), QStringLiteral("--pdf")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors + run.lines.join(QLatin1Char('\n'))));
    QCOMPARE(run.lines.size(), 2);
    for (int id : {mFirst, mSecond}) {
        const QString document = mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(id));
        QVERIFY2(run.lines.contains(QStringLiteral("%1\t已生成\t%2").arg(id).arg(QDir::toNativeSeparators(document))),
                 qPrintable(run.lines.join(QLatin1Char('\n'))));
        const QString pdf = mApp.file(QStringLiteral("DB/ContractFile/%1.pdf").arg(id));
        QVERIFY(QFile::exists(pdf));
        // What the command makes itself is its owner's alone, whoever's umask started it (a document copies its
        // template's mode, and the program keeps its templates private).
        const QFileDevice::Permissions others =
            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
        QVERIFY2(!(QFile::permissions(pdf) & others), qPrintable(pdf));
    }
    QCOMPARE(
        PackageFiles::paragraphs(PackageFiles::read(mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mFirst)),
                                                    QStringLiteral("word/document.xml"))),
        QStringList{QStringLiteral("甲方：张三")});
    QVERIFY(run.errors.contains(QStringLiteral("正在生成 2 / 2")));
}

void TestGenerateCli::keptDocumentsGetTheirPdf() {
    // The documents are there from the run before; their PDFs are asked for again.
    for (int id : {mFirst, mSecond})
        QVERIFY(QFile::remove(mApp.file(QStringLiteral("DB/ContractFile/%1.pdf").arg(id))));
    const QByteArray kept = readFile(mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mFirst)));
    const Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), Code,
                              QStringLiteral("--all"), QStringLiteral("--pdf")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors + run.lines.join(QLatin1Char('\n'))));
    QCOMPARE(run.lines.size(), 2);
    for (int id : {mFirst, mSecond}) {
        const QString pdf = mApp.file(QStringLiteral("DB/ContractFile/%1.pdf").arg(id));
        QVERIFY2(run.lines.contains(QStringLiteral("%1\t跳过\t合同文档已经存在，已从这份文档导出PDF文件 %2")
                                        .arg(id)
                                        .arg(QDir::toNativeSeparators(pdf))),
                 qPrintable(run.lines.join(QLatin1Char('\n'))));
        QVERIFY(readFile(pdf).startsWith("%PDF"));
    }
    QCOMPARE(readFile(mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mFirst))), kept);
    QVERIFY2(run.errors.contains(QStringLiteral("已生成 0 份，跳过 2 份，失败 0 份。\n已导出PDF文件 2 份。")),
             qPrintable(run.errors));
}

// The documents just generated are checked against the digests the run recorded: one left alone, one changed
// afterwards, one the program never wrote.
void TestGenerateCli::verifiesWhatItWrote() {
    const QString same = mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mFirst));
    const QString changed = mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mSecond));
    const QString stranger = mApp.file(QStringLiteral("DB/ContractFile/stranger.docx"));
    QVERIFY(QFile::copy(same, stranger));

    Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--verify"), same});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 1);
    QVERIFY2(run.lines.first().startsWith(same + QStringLiteral("\t未修改\t")), qPrintable(run.lines.first()));
    QVERIFY(run.lines.first().contains(QStringLiteral("\t生成合同文档")));

    QFile file(changed);
    QVERIFY(file.open(QIODevice::Append));
    file.write("x");
    file.close();
    run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--verify"), same, changed, stranger,
                    mApp.file(QStringLiteral("DB/ContractFile/none.docx"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines.size(), 4);
    QVERIFY(run.lines.at(0).startsWith(same + QStringLiteral("\t未修改")));
    QVERIFY(run.lines.at(1).startsWith(changed + QStringLiteral("\t已修改\t")));
    QCOMPARE(run.lines.at(2), stranger + QStringLiteral("\t无写入记录"));
    QCOMPARE(run.lines.at(3), mApp.file(QStringLiteral("DB/ContractFile/none.docx")) + QStringLiteral("\t无法读取"));
    QVERIFY(QFile::remove(stranger));
}

void TestGenerateCli::partlyFailingRun() {
    // The first document is open in a window (the office's lock file beside it); record 999 does not exist.
    const QString lock = mApp.file(QStringLiteral("DB/ContractFile/.~lock.%1.docx#").arg(mFirst));
    QFile file(lock);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), Code,
                              QStringLiteral("--records"),
                              QStringLiteral("%1,%2,%2,999").arg(mFirst).arg(mSecond), // the second given twice
                              QStringLiteral("--regenerate")});
    QFile::remove(lock);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines.size(), 3);
    QVERIFY2(run.lines.at(0).startsWith(QStringLiteral("%1\t跳过\t").arg(mFirst)), qPrintable(run.lines.at(0)));
    QVERIFY2(run.lines.at(1).startsWith(QStringLiteral("%1\t已生成\t").arg(mSecond)), qPrintable(run.lines.at(1)));
    QVERIFY2(run.lines.at(2).startsWith(QStringLiteral("999\t失败\t")), qPrintable(run.lines.at(2)));
}

void TestGenerateCli::pdfNotWrittenIsAFailure() {
    // The document is kept, but it is open elsewhere: its PDF is not made, and the exit code says so.
    const QString lock = mApp.file(QStringLiteral("DB/ContractFile/.~lock.%1.docx#").arg(mFirst));
    QFile file(lock);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), Code,
                              QStringLiteral("--records"), QString::number(mFirst), QStringLiteral("--pdf")});
    QFile::remove(lock);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines.size(), 1);
    QVERIFY2(run.lines.first().startsWith(QStringLiteral("%1\t跳过\t合同文档正在窗口中打开").arg(mFirst)) &&
                 run.lines.first().endsWith(QStringLiteral("；没有导出PDF文件：合同文档正在窗口中打开")),
             qPrintable(run.lines.first()));
    QVERIFY2(run.errors.contains(QStringLiteral("已导出PDF文件 0 份，1 份没有导出。")), qPrintable(run.errors));
}

void TestGenerateCli::categoryWithoutContracts_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("said");
    QTest::newRow("no contracts yet") << QStringLiteral("00010002")
                                      << QStringLiteral("类别 00010002（尚无合同的类别）中没有合同。");
    QTest::newRow("root category") << QStringLiteral("0001")
                                   << QStringLiteral(
                                          "类别 0001（房屋租赁）是一级分类，其中没有合同，合同在它下面的类别中："
                                          "00010001、00010002。");
}

void TestGenerateCli::categoryWithoutContracts() {
    QFETCH(QString, category);
    QFETCH(QString, said);
    const Run run = generate(
        {QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), category, QStringLiteral("--all")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errors.contains(said), qPrintable(run.errors));
    QVERIFY(run.lines.isEmpty());
}

void TestGenerateCli::reportsClauseProblems() {
    // A condition on an indicator the category lacks, and an end without its block: said on standard error, the
    // documents made all the same (the block removed, the stray end left as it is).
    const QString code = QStringLiteral("00010003");
    QVERIFY(mApp.addCategory(code, QStringLiteral("带条件的合同"), QStringLiteral("0001")));
    QVERIFY(mApp.addIndicator(code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(PackageFiles::write(mApp.file(QStringLiteral("DB/ModelFiles/%1.docx").arg(code)),
                                ClauseCases::build({QStringLiteral("甲方：[<甲方>][<如果:担保人>]，有担保[<结束>]"),
                                                    QStringLiteral("附注[<结束>]")},
                                                   QStringLiteral("docx"))));
    QVERIFY(mApp.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, ?)"),
                      {code, QStringLiteral("王五")}));
    const int id = mApp.scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    const Run run = generate(
        {QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), code, QStringLiteral("--all")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors + run.lines.join(QLatin1Char('\n'))));
    QVERIFY2(run.errors.contains(QStringLiteral("模板中的条件段落有以下问题：")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("[<如果:担保人>]：本类别没有名为“担保人”的指标")),
             qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("[<结束>]：前面没有对应的“[<如果:…>]”")), qPrintable(run.errors));
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(id)),
                                                         QStringLiteral("word/document.xml"))),
             (QStringList{QStringLiteral("甲方：王五"), QStringLiteral("附注[<结束>]")}));
}

void TestGenerateCli::verboseSaysWhereTheTimeGoes() {
    // The same documents and lines, the time of each step after them on standard error; a .docx batch without
    // PDFs starts no office.
    const Run run = generate({QStringLiteral("--folder"), mApp.path(), QStringLiteral("--category"), Code,
                              QStringLiteral("--records"), QStringLiteral("%1,%2").arg(mFirst).arg(mSecond),
                              QStringLiteral("--regenerate"), QStringLiteral("--verbose")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors + run.lines.join(QLatin1Char('\n'))));
    QCOMPARE(run.lines.size(), 2);
    QVERIFY(run.lines.first().startsWith(QStringLiteral("%1\t已生成\t").arg(mFirst)));
    for (const QString &step :
         {QStringLiteral("用时（毫秒）："), QStringLiteral("读取 2 份合同记录及其指标"),
          QStringLiteral("读取 .docx/.odt 模板"), QStringLiteral("生成文档"), QStringLiteral("全部")})
        QVERIFY2(run.errors.contains(step), qPrintable(run.errors));
    QVERIFY2(!run.errors.contains(QStringLiteral("办公软件")), qPrintable(run.errors));
    QCOMPARE(
        PackageFiles::paragraphs(PackageFiles::read(mApp.file(QStringLiteral("DB/ContractFile/%1.docx").arg(mSecond)),
                                                    QStringLiteral("word/document.xml"))),
        QStringList{QStringLiteral("甲方：李四")});
}

QTEST_GUILESS_MAIN(TestGenerateCli)
#include "tst_generate_cli.moc"
