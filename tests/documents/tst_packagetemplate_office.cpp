// .doc, .docx and .odt templates saved by the office itself, filled in the program (a Word 97 template through
// the office's OpenDocument copy of it), then read back from the parts and by the office: every kind of place a
// user can put a marker in.

#include "documents/ClauseCases.h"
#include "documents/PackageFiles.h"
#include "office/LibreOfficeWordApp.h"
#include "package/PackageTemplate.h"
#include "package/TemplateCheck.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using Pairs = QList<QPair<QString, QString>>;

Q_DECLARE_METATYPE(ClauseCases::Case)

namespace {

// Flat OpenDocument source of the templates: body, table, header, footer, text box and footnote, a marker whose
// middle character is bold, a marker that names no indicator.
const char Source[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:styles>
  <style:style style:name="Standard" style:family="paragraph" style:class="text"/>
 </office:styles>
 <office:automatic-styles>
  <style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"/>
   <style:header-style/><style:footer-style/></style:page-layout>
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Standard" style:page-layout-name="pm1">
   <style:header><text:p text:style-name="Standard">页眉：[&lt;页眉&gt;]</text:p></style:header>
   <style:footer><text:p text:style-name="Standard">页脚：[&lt;页脚&gt;]</text:p></style:footer>
  </style:master-page>
 </office:master-styles>
 <office:body>
  <office:text>
   <text:p text:style-name="Standard">正文：[&lt;甲方&gt;]。</text:p>
   <text:p text:style-name="Standard">未知：[&lt;丙方&gt;]。</text:p>
   <text:p text:style-name="Standard">拆分：[&lt;拆<text:span text:style-name="B">分</text:span>&gt;]。</text:p>
   <text:p text:style-name="Standard">特殊：[&lt;特殊&gt;]</text:p>
   <text:p text:style-name="Standard">注释<text:note text:id="n1" text:note-class="footnote"><text:note-citation>1</text:note-citation><text:note-body><text:p text:style-name="Standard">脚注：[&lt;脚注&gt;]</text:p></text:note-body></text:note></text:p>
   <text:p text:style-name="Standard"><draw:frame draw:name="框1" text:anchor-type="paragraph" svg:width="6cm" svg:height="2cm" svg:x="2cm" svg:y="0cm"><draw:text-box><text:p text:style-name="Standard">框：[&lt;文本框&gt;]</text:p></draw:text-box></draw:frame>锚点</text:p>
   <table:table table:name="表1">
    <table:table-column table:number-columns-repeated="2"/>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p text:style-name="Standard">项目</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p text:style-name="Standard">表格：[&lt;表格&gt;]</text:p></table:table-cell>
    </table:table-row>
   </table:table>
   <text:p text:style-name="Standard">结束</text:p>
  </office:text>
 </office:body>
</office:document>
)";

Pairs values() {
    return {
        {QStringLiteral("[<甲方>]"), QStringLiteral("张三")},
        {QStringLiteral("[<页眉>]"), QStringLiteral("页眉值")},
        {QStringLiteral("[<页脚>]"), QStringLiteral("页脚值")},
        {QStringLiteral("[<拆分>]"), QStringLiteral("拆分值")},
        {QStringLiteral("[<特殊>]"), QStringLiteral("a<b & c]]>d\n第二行")},
        {QStringLiteral("[<脚注>]"), QStringLiteral("脚注值")},
        {QStringLiteral("[<文本框>]"), QStringLiteral("文本框值")},
        {QStringLiteral("[<表格>]"), QStringLiteral("表格值")},
    };
}

} // namespace

class TestPackageTemplateOffice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void filledInPlace_data();
    void filledInPlace();
    void officeReadsBack_data();
    void officeReadsBack();
    void templateCheckOfEveryFormat_data();
    void templateCheckOfEveryFormat();
    void clauseCases_data();
    void clauseCases();

private:
    bool convert(const QString &format, const QStringList &files, const QString &folder = {});
    bool makeClauseCases();
    QStringList lines(const QString &package, const QStringList &prefixes) const;

    QTemporaryDir mDir;
    QString mOffice;
};

bool TestPackageTemplateOffice::convert(const QString &format, const QStringList &files, const QString &folder) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(mOffice, QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                       QStringLiteral("-env:UserInstallation=") +
                                           QUrl::fromLocalFile(mDir.filePath(QStringLiteral("profile"))).toString(),
                                       QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"),
                                       folder.isEmpty() ? mDir.path() : folder} +
                               files);
    if (!process.waitForFinished(180000) || process.exitCode() != 0) {
        qWarning() << process.readAll();
        return false;
    }
    return true;
}

QStringList TestPackageTemplateOffice::lines(const QString &package, const QStringList &prefixes) const {
    QStringList result;
    for (const QString &name : PackageFiles::names(package)) {
        for (const QString &prefix : prefixes) {
            if (name.startsWith(prefix) && name.endsWith(QLatin1String(".xml")))
                result += PackageFiles::paragraphs(PackageFiles::read(package, name));
        }
    }
    return result;
}

void TestPackageTemplateOffice::initTestCase() {
    mOffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    QVERIFY2(!mOffice.isEmpty(), "the office (soffice) is not installed");
    QVERIFY(mDir.isValid());
    QFile source(mDir.filePath(QStringLiteral("template.fodt")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write(Source);
    source.close();
    QVERIFY(convert(QStringLiteral("docx"), {source.fileName()}));
    QVERIFY(convert(QStringLiteral("odt"), {source.fileName()}));

    for (const QString &format : {QStringLiteral("docx"), QStringLiteral("odt")}) {
        const PackageTemplate::Result result =
            PackageTemplate::fill(mDir.filePath(QStringLiteral("template.") + format),
                                  mDir.filePath(QStringLiteral("filled-%1.%1").arg(format)), values());
        QVERIFY2(result.ok, qPrintable(result.error));
    }

    // The Word 97 template: filled the way a new contract is, saved as Word 97 by the office.
    QVERIFY(convert(QStringLiteral("doc"), {source.fileName()}));
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        QVERIFY2(word.connect(), qPrintable(word.lastError()));
        QVERIFY2(word.openPrefilled(mDir.filePath(QStringLiteral("template.doc")), values()),
                 qPrintable(word.lastError()));
        QVERIFY2(word.saveAs(mDir.filePath(QStringLiteral("filled-doc.doc"))), qPrintable(word.lastError()));
        word.quit();
    }
    QVERIFY(convert(QStringLiteral("fodt"),
                    {mDir.filePath(QStringLiteral("filled-docx.docx")), mDir.filePath(QStringLiteral("filled-odt.odt")),
                     mDir.filePath(QStringLiteral("filled-doc.doc"))}));
    QVERIFY(makeClauseCases());
}

// Every case folder of optional clauses made into a contract four ways: filled in the program from the .docx and
// the .odt template, from the Word 97 template as a new contract is made, and by "重新生成" on the open Word 97
// template. The office then reads every contract back (as OpenDocument) for the test rows.
bool TestPackageTemplateOffice::makeClauseCases() {
    const QList<ClauseCases::Case> cases = ClauseCases::load(QStringLiteral(VANTREL_CLAUSE_CASES));
    const QString folder = mDir.filePath(QStringLiteral("clauses"));
    const QString back = mDir.filePath(QStringLiteral("back"));
    if (!QDir().mkpath(folder) || !QDir().mkpath(back))
        return false;
    QStringList odtTemplates;
    QStringList made;
    for (int i = 0; i < cases.size(); ++i) {
        const ClauseCases::Case &c = cases.at(i);
        for (const QString &format : {QStringLiteral("docx"), QStringLiteral("odt")}) {
            const QString source = QStringLiteral("%1/t%2.%3").arg(folder).arg(i).arg(format);
            const QString target = QStringLiteral("%1/c%2-%3.%3").arg(folder).arg(i).arg(format);
            if (!PackageFiles::write(source, ClauseCases::build(c.templateLines, format)) ||
                !PackageTemplate::fill(source, target, ClauseCases::pairs(c), ClauseCases::conditions(c)).ok)
                return false;
            made << target;
            if (format == QLatin1String("odt"))
                odtTemplates << source;
        }
    }
    if (!convert(QStringLiteral("doc"), odtTemplates, folder))
        return false;
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    if (!word.connect())
        return false;
    for (int i = 0; i < cases.size(); ++i) {
        const ClauseCases::Case &c = cases.at(i);
        const QString doc = QStringLiteral("%1/t%2.doc").arg(folder).arg(i);
        const QString made97 = QStringLiteral("%1/c%2-doc.doc").arg(folder).arg(i);
        const QString regenerated = QStringLiteral("%1/c%2-regenerated.doc").arg(folder).arg(i);
        if (!word.openPrefilled(doc, ClauseCases::pairs(c), ClauseCases::conditions(c)) || !word.saveAs(made97) ||
            !word.open(doc) || !word.replaceInOrder(ClauseCases::pairs(c), nullptr, ClauseCases::conditions(c)) ||
            !word.isModified() || !word.saveAs(regenerated)) {
            qWarning() << c.name << word.lastError();
            return false;
        }
        made << made97 << regenerated;
    }
    word.quit();
    return convert(QStringLiteral("odt"), made, back);
}

void TestPackageTemplateOffice::clauseCases_data() {
    QTest::addColumn<ClauseCases::Case>("c");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    const QList<ClauseCases::Case> cases = ClauseCases::load(QStringLiteral(VANTREL_CLAUSE_CASES));
    for (int i = 0; i < cases.size(); ++i) {
        for (const QString &kind :
             {QStringLiteral("docx"), QStringLiteral("odt"), QStringLiteral("doc"), QStringLiteral("regenerated")})
            QTest::newRow(qPrintable(cases.at(i).name + QLatin1Char('/') + kind))
                << cases.at(i) << QStringLiteral("back/c%1-%2.odt").arg(i).arg(kind)
                << (kind == QLatin1String("docx") ? kind : QStringLiteral("odt"));
    }
}

// The office opens every contract and reads in it what the case expects.
void TestPackageTemplateOffice::clauseCases() {
    QFETCH(ClauseCases::Case, c);
    QFETCH(QString, file);
    QFETCH(QString, format);
    QString error;
    QStringList lines = ClauseCases::render(mDir.filePath(file), QStringLiteral("odt"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // The office ends a document that ends with a table with an empty paragraph of its own, and writes a text box
    // at the start of the paragraph it is anchored in.
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const auto boxesLast = [](QStringList list) {
        static const QRegularExpression box(QStringLiteral("#\\([^)]*\\)"));
        for (QString &line : list) {
            QString boxes;
            for (auto it = box.globalMatch(line); it.hasNext();)
                boxes += it.next().captured();
            line.remove(box);
            line += boxes;
        }
        return list;
    };
    QCOMPARE(boxesLast(lines), boxesLast(ClauseCases::expected(c, format)));
}

void TestPackageTemplateOffice::filledInPlace_data() {
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("copies");

    const QStringList docxBody{QStringLiteral("word/document")};
    const QStringList docxHeader{QStringLiteral("word/header")};
    const QStringList docxFooter{QStringLiteral("word/footer")};
    const QStringList docxNotes{QStringLiteral("word/footnotes")};
    const QStringList odtBody{QStringLiteral("content")};
    const QStringList odtStyles{QStringLiteral("styles")};
    const QString docx = QStringLiteral("filled-docx.docx");
    const QString odt = QStringLiteral("filled-odt.odt");

    QTest::newRow("docx body") << docx << docxBody << QStringLiteral("正文：张三。") << 1;
    QTest::newRow("docx unknown marker") << docx << docxBody << QStringLiteral("未知：[<丙方>]。") << 1;
    QTest::newRow("docx split by formatting") << docx << docxBody << QStringLiteral("拆分：拆分值。") << 1;
    QTest::newRow("docx special text") << docx << docxBody << QStringLiteral("特殊：a<b & c]]>d\n第二行") << 1;
    QTest::newRow("docx table") << docx << docxBody << QStringLiteral("表格：表格值") << 1;
    // Stored twice: for readers with and without the newer drawing shapes.
    QTest::newRow("docx text box") << docx << docxBody << QStringLiteral("框：文本框值") << 2;
    QTest::newRow("docx header") << docx << docxHeader << QStringLiteral("页眉：页眉值") << 1;
    QTest::newRow("docx footer") << docx << docxFooter << QStringLiteral("页脚：页脚值") << 1;
    QTest::newRow("docx footnote") << docx << docxNotes << QStringLiteral("脚注：脚注值") << 1;

    QTest::newRow("odt body") << odt << odtBody << QStringLiteral("正文：张三。") << 1;
    QTest::newRow("odt unknown marker") << odt << odtBody << QStringLiteral("未知：[<丙方>]。") << 1;
    QTest::newRow("odt split by formatting") << odt << odtBody << QStringLiteral("拆分：拆分值。") << 1;
    QTest::newRow("odt special text") << odt << odtBody << QStringLiteral("特殊：a<b & c]]>d\n第二行") << 1;
    QTest::newRow("odt table") << odt << odtBody << QStringLiteral("表格：表格值") << 1;
    QTest::newRow("odt text box") << odt << odtBody << QStringLiteral("框：文本框值") << 1;
    QTest::newRow("odt footnote") << odt << odtBody << QStringLiteral("脚注：脚注值") << 1;
    QTest::newRow("odt header") << odt << odtStyles << QStringLiteral("页眉：页眉值") << 1;
    QTest::newRow("odt footer") << odt << odtStyles << QStringLiteral("页脚：页脚值") << 1;
}

void TestPackageTemplateOffice::filledInPlace() {
    QFETCH(QString, package);
    QFETCH(QStringList, parts);
    QFETCH(QString, line);
    QFETCH(int, copies);
    const QStringList found = lines(mDir.filePath(package), parts);
    QVERIFY2(found.count(line) == copies, qPrintable(found.join(QLatin1Char('|'))));
}

void TestPackageTemplateOffice::officeReadsBack_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("docx") << QStringLiteral("filled-docx.fodt");
    QTest::newRow("odt") << QStringLiteral("filled-odt.fodt");
    QTest::newRow("doc") << QStringLiteral("filled-doc.fodt");
}

void TestPackageTemplateOffice::officeReadsBack() {
    QFETCH(QString, file);
    QFile flat(mDir.filePath(file));
    QVERIFY2(flat.open(QIODevice::ReadOnly), "the office did not open the filled document");
    const QStringList found = PackageFiles::paragraphs(flat.readAll());
    const QStringList expected{
        QStringLiteral("正文：张三。"),   QStringLiteral("未知：[<丙方>]。"),
        QStringLiteral("拆分：拆分值。"), QStringLiteral("特殊：a<b & c]]>d\n第二行"),
        QStringLiteral("表格：表格值"),   QStringLiteral("框：文本框值"),
        QStringLiteral("页眉：页眉值"),   QStringLiteral("页脚：页脚值"),
        QStringLiteral("脚注：脚注值"),
    };
    for (const QString &line : expected)
        QVERIFY2(found.contains(line), qPrintable(line + QStringLiteral(" not in: ") + found.join(QLatin1Char('|'))));
}

void TestPackageTemplateOffice::templateCheckOfEveryFormat_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("doc") << QStringLiteral("template.doc");
    QTest::newRow("docx") << QStringLiteral("template.docx");
    QTest::newRow("odt") << QStringLiteral("template.odt");
}

void TestPackageTemplateOffice::templateCheckOfEveryFormat() {
    // Every marker of the templates the office saved is found in its place: only 丙方 names no indicator, and the
    // one indicator the template lacks is reported as unused.
    QFETCH(QString, file);
    QString package = mDir.filePath(file);
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    if (file.endsWith(QLatin1String(".doc"))) {
        QVERIFY2(word.connect(), qPrintable(word.lastError()));
        package = word.openDocumentCopyOf(package);
        QVERIFY2(!package.isEmpty(), qPrintable(word.lastError()));
    }
    QStringList names{QStringLiteral("没有用到")};
    for (const auto &pair : values())
        names << pair.first.mid(2, pair.first.size() - 4);
    const TemplateCheck::Report report = TemplateCheck::check(package, names);
    word.quit();
    QVERIFY(report.readable);
    QCOMPARE(report.unknownMarkers.size(), 1);
    QCOMPARE(report.unknownMarkers.first().text, QStringLiteral("[<丙方>]"));
    QCOMPARE(report.unknownMarkers.first().place, QStringLiteral("正文"));
    QCOMPARE(report.unusedIndicators, QStringList{QStringLiteral("没有用到")});
    QVERIFY2(report.brokenMarkers.isEmpty(), qPrintable(TemplateCheck::describe(report)));
}

QTEST_GUILESS_MAIN(TestPackageTemplateOffice)
#include "tst_packagetemplate_office.moc"
