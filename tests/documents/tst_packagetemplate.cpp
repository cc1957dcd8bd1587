// Filling .docx and .odt templates inside the program, on small handmade packages: the marker search over split
// runs, what a replacement may hold, the parts of a package, and damaged templates.

#include "documents/ClauseCases.h"
#include "documents/PackageFiles.h"
#include "package/PackageTemplate.h"
#include "package/TemplateCheck.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <pugixml.hpp>

#include <memory>
#include <vector>

using Pairs = QList<QPair<QString, QString>>;

Q_DECLARE_METATYPE(ClauseCases::Case)

namespace {

const char *const WordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// In SortIdx order: 嵌套 holds the marker of the later 乙方 (filled) and of the earlier 甲方 (kept).
Pairs pairs() {
    return {
        {QStringLiteral("[<甲方>]"), QStringLiteral("张三")},
        {QStringLiteral("[<Name>]"), QStringLiteral("Alice")},
        {QStringLiteral("[<特殊>]"), QStringLiteral("a<b & c]]>d\n第二行")},
        {QStringLiteral("[<嵌套>]"), QStringLiteral("前[<乙方>]后[<甲方>]")},
        {QStringLiteral("[<乙方>]"), QStringLiteral("李四")},
        {QStringLiteral("[<空格>]"), QStringLiteral("a   b")},
    };
}

QByteArray docxDocument(const QByteArray &body) {
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                      R"(<w:document xmlns:w=")") +
           WordNs +
           R"(" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")"
           R"( xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape")"
           R"( xmlns:v="urn:schemas-microsoft-com:vml"><w:body>)" +
           body + "</w:body></w:document>";
}

QByteArray odtContent(const QByteArray &body) {
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                      R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                      R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
                      R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
                      R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"><office:body><office:text>)") +
           body + "</office:text></office:body></office:document-content>";
}

// The form pugixml writes, so expected XML can be written by hand.
QByteArray canonical(const QByteArray &xml) {
    pugi::xml_document document;
    if (!document.load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_full | pugi::parse_ws_pcdata))
        return "not XML: " + xml;
    struct Writer : pugi::xml_writer {
        QByteArray out;
        void write(const void *data, size_t size) override {
            out.append(static_cast<const char *>(data), qsizetype(size));
        }
    } writer;
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration);
    return writer.out;
}

PackageFiles::Entries docxEntries(const QByteArray &document, const QByteArray &header = {}) {
    const QByteArray ns = QByteArray("xmlns:w=\"") + WordNs + "\"";
    PackageFiles::Entries entries{
        {QStringLiteral("[Content_Types].xml"), R"(<?xml version="1.0"?><Types/>)"},
        {QStringLiteral("_rels/.rels"),
         R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/)"
         R"(officeDocument" Target="word/document.xml"/></Relationships>)"},
    };
    if (!document.isNull())
        entries.append({QStringLiteral("word/document.xml"), document});
    entries.append({QStringLiteral("word/header1.xml"), "<w:hdr " + ns + "><w:p><w:r><w:t>" +
                                                            (header.isNull() ? "页眉[&lt;甲方>]" : header) +
                                                            "</w:t></w:r></w:p></w:hdr>"});
    entries.append({QStringLiteral("word/footer2.xml"),
                    "<w:ftr " + ns + "><w:p><w:r><w:t>页脚[&lt;乙方>]</w:t></w:r></w:p></w:ftr>"});
    entries.append({QStringLiteral("word/footnotes.xml"),
                    "<w:footnotes " + ns +
                        "><w:footnote w:id=\"1\"><w:p><w:r><w:t>脚注[&lt;name>]</w:t></w:r></w:p>"
                        "</w:footnote></w:footnotes>"});
    entries.append({QStringLiteral("word/endnotes.xml"),
                    "<w:endnotes " + ns +
                        "><w:endnote w:id=\"1\"><w:p><w:r><w:t>尾注[&lt;甲方>]</w:t></w:r></w:p>"
                        "</w:endnote></w:endnotes>"});
    // Not a part with text: a style named like a marker stays as it is.
    entries.append(
        {QStringLiteral("word/styles.xml"), "<w:styles " + ns + "><w:style w:styleId=\"[&lt;甲方>]\"/></w:styles>"});
    entries.append({QStringLiteral("word/media/image1.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0binary", 16)});
    return entries;
}

PackageFiles::Entries odtEntries(const QByteArray &content) {
    PackageFiles::Entries entries{{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text"}};
    if (!content.isNull())
        entries.append({QStringLiteral("content.xml"), content});
    entries.append({QStringLiteral("styles.xml"),
                    R"(<office:document-styles xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
                    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:master-styles>)"
                    R"(<style:master-page style:name="Standard"><style:header><text:p>页眉[&lt;甲方>]</text:p>)"
                    R"(</style:header><style:footer><text:p>页脚[&lt;乙方>]</text:p></style:footer>)"
                    R"(</style:master-page></office:master-styles></office:document-styles>)"});
    entries.append({QStringLiteral("META-INF/manifest.xml"), R"(<?xml version="1.0"?><manifest/>)"});
    return entries;
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file of a case folder without the line end an editor puts after its last line.
QByteArray caseFile(const QDir &folder, const QString &name) {
    QByteArray bytes = fileBytes(folder.filePath(name));
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes;
}

// values.txt: one indicator a line, "name=value", in the order they are filled; "\n" in a value is a line break.
Pairs caseValues(const QDir &folder) {
    Pairs out;
    for (const QString &line :
         QString::fromUtf8(caseFile(folder, QStringLiteral("values.txt"))).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            QString value = line.mid(equals + 1);
            value.replace(QLatin1String("\\n"), QLatin1String("\n"));
            out.append({QStringLiteral("[<") + line.left(equals) + QStringLiteral(">]"), value});
        }
    }
    return out;
}

} // namespace

class TestPackageTemplate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fillCases_data();
    void fillCases();
    void docxPackage();
    void odtPackage();
    void damagedTemplate_data();
    void damagedTemplate();
    void formatOfPath();
    void templateCheck();
    void clauses_data();
    void clauses();
};

void TestPackageTemplate::fillCases_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("docx");
    // One folder per case under cases/docx and cases/odt: template.xml (the body of word/document.xml or of
    // content.xml), values.txt, and what the body must be once filled: expected.xml, or expected.txt with its
    // paragraphs one a line. filled.txt, when there, holds how many markers the fill reports.
    const QDir root(QStringLiteral(VANTREL_FILL_CASES));
    for (const QString &format : {QStringLiteral("docx"), QStringLiteral("odt")}) {
        const QDir formatFolder(root.filePath(format));
        const QStringList names = formatFolder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QVERIFY2(!names.isEmpty(), qPrintable(formatFolder.path()));
        for (const QString &name : names) {
            QTest::newRow(qPrintable(format + QLatin1Char('/') + name))
                << formatFolder.filePath(name) << (format == QLatin1String("docx"));
        }
    }
}

void TestPackageTemplate::fillCases() {
    QFETCH(QString, folder);
    QFETCH(bool, docx);
    const QDir dir(folder);
    const auto wrapped = [docx](const QByteArray &body) { return docx ? docxDocument(body) : odtContent(body); };
    QByteArray xml = wrapped(caseFile(dir, QStringLiteral("template.xml")));
    int count = -1;
    QString error;
    QVERIFY2(PackageTemplate::fillPart(xml, docx ? PackageTemplate::Format::Docx : PackageTemplate::Format::Odt,
                                       caseValues(dir), &count, &error),
             qPrintable(error));
    if (dir.exists(QStringLiteral("expected.xml"))) {
        QCOMPARE(canonical(xml), canonical(wrapped(caseFile(dir, QStringLiteral("expected.xml")))));
    } else {
        QVERIFY2(dir.exists(QStringLiteral("expected.txt")), "a case folder needs expected.xml or expected.txt");
        QCOMPARE(PackageFiles::paragraphs(xml),
                 QString::fromUtf8(caseFile(dir, QStringLiteral("expected.txt"))).split(QLatin1Char('\n')));
    }
    if (dir.exists(QStringLiteral("filled.txt")))
        QCOMPARE(count, caseFile(dir, QStringLiteral("filled.txt")).trimmed().toInt());
}

void TestPackageTemplate::docxPackage() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("t.docx"));
    const QString target = dir.filePath(QStringLiteral("out/1.docx"));
    const PackageFiles::Entries entries = docxEntries(docxDocument("<w:p><w:r><w:t>正文[&lt;甲方>]</w:t></w:r></w:p>"));
    QVERIFY(PackageFiles::write(source, entries));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));

    const PackageTemplate::Result result = PackageTemplate::fill(source, target, pairs());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.filled, 5);

    QStringList expectedNames;
    for (const auto &entry : entries)
        expectedNames << entry.first;
    QCOMPARE(PackageFiles::names(target), expectedNames);
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/document.xml"))),
             QStringList{QStringLiteral("正文张三")});
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/header1.xml"))),
             QStringList{QStringLiteral("页眉张三")});
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/footer2.xml"))),
             QStringList{QStringLiteral("页脚李四")});
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/footnotes.xml"))),
             QStringList{QStringLiteral("脚注Alice")});
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/endnotes.xml"))),
             QStringList{QStringLiteral("尾注张三")});
    for (const auto &[name, data] : entries) {
        if (name.startsWith(QLatin1String("word/styles")) || name.startsWith(QLatin1String("word/media")) ||
            name.startsWith(QLatin1Char('[')))
            QCOMPARE(PackageFiles::read(target, name), data);
    }

    // Generating again over an existing document replaces it.
    QVERIFY(PackageTemplate::fill(source, target, {{QStringLiteral("[<甲方>]"), QStringLiteral("王五")}}).ok);
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("word/document.xml"))),
             QStringList{QStringLiteral("正文王五")});
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files), QStringList{QStringLiteral("1.docx")});

    // Read once and filled for many documents (from several threads at once): each document has its own values
    // and the template's other parts, also once the template file itself has gone.
    const PackageTemplate::Prepared prepared(source);
    QVERIFY(QFile::remove(source));
    const QStringList names{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁")};
    std::vector<std::unique_ptr<QThread>> threads;
    for (const QString &name : names) {
        threads.emplace_back(QThread::create([&, name] {
            prepared.fill(dir.filePath(QStringLiteral("out/%1.docx").arg(name)), {{QStringLiteral("[<甲方>]"), name}});
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        thread->wait();
    for (const QString &name : names) {
        const QString made = dir.filePath(QStringLiteral("out/%1.docx").arg(name));
        QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(made, QStringLiteral("word/document.xml"))),
                 QStringList{QStringLiteral("正文") + name});
        QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(made, QStringLiteral("word/header1.xml"))),
                 QStringList{QStringLiteral("页眉") + name});
        QCOMPARE(PackageFiles::names(made), expectedNames);
    }
}

void TestPackageTemplate::odtPackage() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("t.odt"));
    const QString target = dir.filePath(QStringLiteral("1.odt"));
    QVERIFY(PackageFiles::write(source, odtEntries(odtContent("<text:p>正文[&lt;甲方>]</text:p>"))));

    const PackageTemplate::Result result = PackageTemplate::fill(source, target, pairs());
    QVERIFY2(result.ok, qPrintable(result.error));
    // The reader recognises the package by its first entry, stored as it is.
    QCOMPARE(PackageFiles::names(target).value(0), QStringLiteral("mimetype"));
    QCOMPARE(PackageFiles::compression(target, QStringLiteral("mimetype")), 0);
    QCOMPARE(PackageFiles::read(target, QStringLiteral("mimetype")),
             QByteArray("application/vnd.oasis.opendocument.text"));
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("content.xml"))),
             QStringList{QStringLiteral("正文张三")});
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(target, QStringLiteral("styles.xml"))),
             (QStringList{QStringLiteral("页眉张三"), QStringLiteral("页脚李四")}));
}

void TestPackageTemplate::damagedTemplate_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");

    QTemporaryDir dir;
    const auto package = [&](const QString &name, const PackageFiles::Entries &entries) {
        const QString path = dir.filePath(name);
        PackageFiles::write(path, entries);
        return fileBytes(path);
    };
    const QByteArray whole =
        package(QStringLiteral("good.docx"), docxEntries(docxDocument("<w:p><w:r><w:t>[&lt;甲方>]</w:t></w:r></w:p>")));

    QTest::newRow("not a package") << QStringLiteral("t.docx") << QByteArray("plain text, not a zip");
    QTest::newRow("empty file") << QStringLiteral("t.odt") << QByteArray();
    QTest::newRow("truncated") << QStringLiteral("t.docx") << whole.left(whole.size() / 2);
    QTest::newRow("last bytes cut") << QStringLiteral("t.docx") << whole.left(whole.size() - 10);
    QTest::newRow("no document.xml") << QStringLiteral("t.docx")
                                     << package(QStringLiteral("nomain.docx"), docxEntries(QByteArray()));
    QTest::newRow("no content.xml") << QStringLiteral("t.odt")
                                    << package(QStringLiteral("nocontent.odt"), odtEntries(QByteArray()));
    QTest::newRow("body not well-formed")
        << QStringLiteral("t.docx")
        << package(QStringLiteral("broken.docx"), docxEntries("<w:document><w:body><w:p>[&lt;甲方>]</w:body>"));
    QTest::newRow("header not well-formed")
        << QStringLiteral("t.docx")
        << package(QStringLiteral("brokenheader.docx"), docxEntries(docxDocument("<w:p/>"), "<a>&nope;</b>"));
}

void TestPackageTemplate::damagedTemplate() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString source = dir.filePath(fileName);
    QVERIFY(writeFile(source, bytes));
    const QString target = dir.filePath(QStringLiteral("1.") + QFileInfo(fileName).suffix());

    const PackageTemplate::Result result = PackageTemplate::fill(source, target, pairs());
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    // Neither the document nor a temporary file of it is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{fileName});

    // Read once for a batch: every fill fails as the single fill does, and leaves nothing either.
    const PackageTemplate::Prepared prepared(source);
    for (int i = 0; i < 2; ++i) {
        const PackageTemplate::Result again = prepared.fill(target, pairs());
        QVERIFY(!again.ok);
        QCOMPARE(again.error, result.error);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{fileName});
}

void TestPackageTemplate::formatOfPath() {
    using PackageTemplate::Format;
    QCOMPARE(PackageTemplate::formatOf(QStringLiteral("/a/DB/ModelFiles/0001.docx")), Format::Docx);
    QCOMPARE(PackageTemplate::formatOf(QStringLiteral("/a/1.ODT")), Format::Odt);
    QCOMPARE(PackageTemplate::formatOf(QStringLiteral("/a/1.Doc")), Format::None);
}

void TestPackageTemplate::templateCheck() {
    // Body with a known marker, a split one and one glued to the next; a table, the header and a text box (kept
    // twice by a .docx: once only in the report) with a marker no indicator has; a "[<" left open; a marker cut
    // by a paragraph break. 乙方 is in the footer; 金额 is never used.
    QTemporaryDir dir;
    const QString docx = dir.filePath(QStringLiteral("t.docx"));
    const QByteArray box = "<w:r><w:txbxContent><w:p><w:r><w:t>框[&lt;丙方>]</w:t></w:r></w:p></w:txbxContent></w:r>";
    QVERIFY(PackageFiles::write(
        docx,
        docxEntries(docxDocument(
                        "<w:p><w:r><w:t>正文[&lt;甲</w:t></w:r><w:r><w:t>方>]，[&lt;甲方>][&lt;丁方>]</w:t></w:r></w:p>"
                        "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>表[&lt;丁方>]</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
                        "<w:p><mc:AlternateContent xmlns:mc=\"m\"><mc:Choice>" +
                        box + "</mc:Choice><mc:Fallback>" + box +
                        "</mc:Fallback></mc:AlternateContent></w:p>"
                        "<w:p><w:r><w:t>未完[&lt;甲方</w:t></w:r></w:p>"
                        "<w:p><w:r><w:t>拆开[&lt;乙</w:t></w:r></w:p><w:p><w:r><w:t>方>]</w:t></w:r></w:p>"),
                    "页眉[&lt;戊方>]")));
    const TemplateCheck::Report report =
        TemplateCheck::check(docx, {QStringLiteral("甲方"), QStringLiteral("乙方"), QStringLiteral("金额")});
    QVERIFY(report.readable);
    QStringList unknown;
    for (const TemplateCheck::Finding &f : report.unknownMarkers)
        unknown << QStringLiteral("%1 %2 %3").arg(f.text, f.place).arg(f.count);
    unknown.sort();
    // The fixture's footnote holds [<name>] too.
    QCOMPARE(unknown, (QStringList{QStringLiteral("[<name>] 脚注 1"), QStringLiteral("[<丁方>] 正文 1"),
                                   QStringLiteral("[<丁方>] 表格 1"), QStringLiteral("[<丙方>] 文本框 1"),
                                   QStringLiteral("[<戊方>] 页眉 1")}));
    QCOMPARE(report.unusedIndicators, QStringList{QStringLiteral("金额")});
    QStringList broken;
    for (const TemplateCheck::Finding &f : report.brokenMarkers)
        broken << f.text.left(4) + QLatin1Char(' ') + f.place;
    broken.sort();
    QCOMPARE(broken, (QStringList{QStringLiteral("[<乙 正文"), QStringLiteral("[<甲方 正文")}));
    QVERIFY(!report.clean());
    const QString text = TemplateCheck::describe(report);
    QVERIFY2(text.contains(QStringLiteral("[<丙方>]（文本框，1 处）")) && text.contains(QStringLiteral("金额")),
             qPrintable(text));

    // A template whose markers and indicators match: nothing to say. A file that is no package: unreadable.
    const QString good = dir.filePath(QStringLiteral("g.docx"));
    QVERIFY(PackageFiles::write(good, docxEntries(docxDocument("<w:p><w:r><w:t>[&lt;甲方>]</w:t></w:r></w:p>"))));
    QVERIFY(
        TemplateCheck::check(good, {QStringLiteral("甲方"), QStringLiteral("乙方"), QStringLiteral("NAME")}).clean());
    QFile junk(dir.filePath(QStringLiteral("j.odt")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a package");
    junk.close();
    QVERIFY(!TemplateCheck::check(junk.fileName(), {}).readable);
}

QTEST_GUILESS_MAIN(TestPackageTemplate)
#include "tst_packagetemplate.moc"

void TestPackageTemplate::clauses_data() {
    QTest::addColumn<ClauseCases::Case>("c");
    QTest::addColumn<QString>("format");
    const QList<ClauseCases::Case> cases = ClauseCases::load(QStringLiteral(VANTREL_CLAUSE_CASES));
    QVERIFY(cases.size() >= 10);
    for (const ClauseCases::Case &c : cases) {
        for (const QString &format : {QStringLiteral("docx"), QStringLiteral("odt")})
            QTest::newRow(qPrintable(c.name + QLatin1Char('/') + format)) << c << format;
    }
}

// Each case folder's template in both package formats, filled with its record: the text and the structure that
// remain (no empty line, row or list item left by a removed part).
void TestPackageTemplate::clauses() {
    QFETCH(ClauseCases::Case, c);
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("template.") + format);
    const QString target = dir.filePath(QStringLiteral("contract.") + format);
    QVERIFY(PackageFiles::write(source, ClauseCases::build(c.templateLines, format)));
    QString error;
    // The notation reads back as written (but for the ends of runs), so what the fill leaves is all that differs.
    QStringList written = c.templateLines;
    written.replaceInStrings(QStringLiteral("¦"), QString());
    QCOMPARE(ClauseCases::render(source, format, &error), written);

    // "检查模板" says what the fill leaves as it is, and nothing of a sound template.
    QStringList names;
    for (const auto &value : c.values)
        names << value.first;
    const TemplateCheck::Report report = TemplateCheck::check(source, names);
    QVERIFY(report.readable);
    QStringList said;
    for (const TemplateCheck::ClauseFinding &finding : report.clauseProblems)
        said << TemplateCheck::describe(finding);
    QCOMPARE(said, ClauseCases::checkLines(c));

    const PackageTemplate::Result result =
        PackageTemplate::fill(source, target, ClauseCases::pairs(c), ClauseCases::conditions(c));
    QVERIFY2(result.ok, qPrintable(result.error));
    const QStringList lines = ClauseCases::render(target, format, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(lines, ClauseCases::expected(c, format));
}
