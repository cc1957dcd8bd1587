// A category whose template is a .docx or an .odt file: the contract document is filled in the program, takes the
// template's format and is then opened in the word processor; a damaged template writes no document.

#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/PackageFiles.h"
#include "documents/TemplateEditor.h"
#include "documents/TemplateImport.h"
#include "office/StandInWordApp.h"
#include "platform/Clipboard.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Code = QStringLiteral("00010001");

PackageFiles::Entries package(const QString &format, const QByteArray &paragraph) {
    if (format == QLatin1String("odt")) {
        return {{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text"},
                {QStringLiteral("content.xml"),
                 R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                 R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text><text:p>)" +
                     paragraph + "</text:p></office:text></office:body></office:document-content>"}};
    }
    return {{QStringLiteral("word/document.xml"),
             R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body><w:p>)"
             R"(<w:r><w:t>)" +
                 paragraph + "</w:t></w:r></w:p></w:body></w:document>"}};
}

QString mainPart(const QString &format) {
    return format == QLatin1String("odt") ? QStringLiteral("content.xml") : QStringLiteral("word/document.xml");
}

} // namespace

class TestPackageGeneration : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void generatesInTemplateFormat_data();
    void generatesInTemplateFormat();
    void damagedTemplateWritesNothing_data();
    void damagedTemplateWritesNothing();
    void templateEditorKeepsFormat();
    void importTemplateFile_data();
    void importTemplateFile();
    void importAsksBeforeReplacing();
    void clausesTestTheValueWithoutItsUnit_data();
    void clausesTestTheValueWithoutItsUnit();
    void regenerateSettlesClauses();

private:
    int addRecord();

    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
    StandInWordApp mWord;
};

void TestPackageGeneration::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    QVERIFY(mApp->addCategoryTree({{Code, QStringLiteral("房屋租赁合同")}}, QStringLiteral("房屋租赁")));
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("月租金"), 1, QStringLiteral("Data2"), 2, QString(),
                               QStringLiteral("99999999.99"), QStringLiteral("元")) > 0);
    Messages::setInstance(&mMessages);
    mMessages.clear();
    mWord.quit();
    mWord.clearCalls();
}

void TestPackageGeneration::cleanup() {
    mApp.reset();
}

int TestPackageGeneration::addRecord() {
    if (!mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
                    {Code, QStringLiteral("张三"), QStringLiteral("3500.00")}))
        return -1;
    return mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
}

void TestPackageGeneration::generatesInTemplateFormat_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("docx") << QStringLiteral("docx");
    QTest::newRow("odt") << QStringLiteral("odt");
}

void TestPackageGeneration::generatesInTemplateFormat() {
    QFETCH(QString, format);
    const QString templateFile = mApp->file(QStringLiteral("DB/ModelFiles/%1.%2").arg(Code, format));
    QVERIFY(PackageFiles::write(templateFile, package(format, "甲方：[&lt;甲方>]，月租金[&lt;月租金>]。")));
    QCOMPARE(DocumentPaths::documentToShow(Code), templateFile);
    const int id = addRecord();

    ContractDocument document(mWord, Code, DocumentPaths::contractFile(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    const QString contract = mApp->file(QStringLiteral("DB/ContractFile/%1.%2").arg(id).arg(format));
    QCOMPARE(document.documentPath(), contract);
    QCOMPARE(mWord.documentPath(), contract);
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(contract, mainPart(format))),
             QStringList{QStringLiteral("甲方：张三，月租金3500.00元。")});
    QVERIFY(!QFile::exists(DocumentPaths::contractFile(id)));
    QVERIFY(mMessages.texts().isEmpty());

    // The next opening finds the document in its format and opens it as it is.
    ContractDocument again(mWord, Code, DocumentPaths::contractFile(id), id);
    QCOMPARE(again.prepare(), ContractDocument::Preparation::Opened);
    QCOMPARE(again.documentPath(), contract);
    QCOMPARE(mWord.documentPath(), contract);
}

void TestPackageGeneration::damagedTemplateWritesNothing_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("message");
    QTest::newRow("truncated .docx") << "docx"
                                     << "truncate"
                                     << "模板文件已损坏";
    QTest::newRow("truncated .odt") << "odt"
                                    << "truncate"
                                    << "模板文件已损坏";
    QTest::newRow(".docx without its document part") << "docx"
                                                     << "no main part"
                                                     << "模板文件缺少文档正文";
    QTest::newRow(".odt without its content") << "odt"
                                              << "no main part"
                                              << "模板文件缺少文档正文";
}

void TestPackageGeneration::damagedTemplateWritesNothing() {
    QFETCH(QString, format);
    QFETCH(QString, damage);
    QFETCH(QString, message);
    const QString templateFile = mApp->file(QStringLiteral("DB/ModelFiles/%1.%2").arg(Code, format));
    PackageFiles::Entries entries = package(format, "[&lt;甲方>]");
    if (damage == QLatin1String("no main part")) {
        entries.removeIf([&](const auto &entry) { return entry.first == mainPart(format); });
        entries.append({QStringLiteral("other.xml"), "<x/>"});
    }
    QVERIFY(PackageFiles::write(templateFile, entries));
    if (damage == QLatin1String("truncate")) {
        QFile file(templateFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.resize(file.size() / 2);
    }
    const int id = addRecord();

    ContractDocument document(mWord, Code, DocumentPaths::contractFile(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Failed);
    QCOMPARE(mMessages.texts().size(), 1);
    QVERIFY2(mMessages.texts().first().contains(message), qPrintable(mMessages.texts().first()));
    QCOMPARE(QDir(mApp->file(QStringLiteral("DB/ContractFile"))).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(mWord.callCount(QStringLiteral("open")), 0);
}

void TestPackageGeneration::templateEditorKeepsFormat() {
    const QString templateFile = mApp->file(QStringLiteral("DB/ModelFiles/%1.docx").arg(Code));
    QVERIFY(PackageFiles::write(templateFile, package(QStringLiteral("docx"), "[&lt;甲方>]")));
    TemplateEditor editor(mWord, Code, DocumentPaths::templateFile(Code));
    QVERIFY(editor.prepare());
    QCOMPARE(mWord.documentPath(), templateFile);
    QVERIFY(editor.save());
    QCOMPARE(mWord.callCount(QStringLiteral("saveAs")), 1);
    QCOMPARE(QDir(mApp->file(QStringLiteral("DB/ModelFiles"))).entryList(QDir::Files),
             QStringList{QFileInfo(templateFile).fileName()});
    QCOMPARE(DocumentPaths::existingTemplate(Code), templateFile);
}

void TestPackageGeneration::importTemplateFile_data() {
    QTest::addColumn<QString>("file");     // the file the user picks, in a folder outside the application
    QTest::addColumn<QString>("damage");   // "", "truncate", "no main part", "not xml", "not a document"
    QTest::addColumn<QString>("existing"); // the category's template before, "" for none
    QTest::addColumn<QString>("after");    // the template afterwards, "" when the import is refused
    QTest::newRow(".docx, no template yet") << "合同.docx"
                                            << ""
                                            << ""
                                            << "00010001.docx";
    QTest::newRow(".odt replaces a Word 97 template") << "合同.odt"
                                                      << ""
                                                      << "00010001.Doc"
                                                      << "00010001.odt";
    QTest::newRow(".DOC spelled in capitals replaces a .docx") << "HT.DOC"
                                                               << ""
                                                               << "00010001.docx"
                                                               << "00010001.Doc";
    QTest::newRow("truncated .docx") << "合同.docx"
                                     << "truncate"
                                     << "00010001.Doc"
                                     << "";
    QTest::newRow(".docx without its document part") << "合同.docx"
                                                     << "no main part"
                                                     << ""
                                                     << "";
    QTest::newRow(".odt whose content is no XML") << "合同.odt"
                                                  << "not xml"
                                                  << "00010001.docx"
                                                  << "";
    QTest::newRow("text file named .doc") << "合同.doc"
                                          << "not a document"
                                          << ""
                                          << "";
    QTest::newRow("a spreadsheet") << "合同.xls"
                                   << ""
                                   << "00010001.Doc"
                                   << "";
}

void TestPackageGeneration::importTemplateFile() {
    QFETCH(QString, file);
    QFETCH(QString, damage);
    QFETCH(QString, existing);
    QFETCH(QString, after);
    QTemporaryDir outside;
    const QString source = outside.filePath(file);
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("doc")) {
        if (damage.isEmpty()) {
            QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), source));
        } else {
            QVERIFY(writeFile(source, "not a word processor document"));
        }
    } else if (suffix == QLatin1String("xls")) {
        QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), source));
    } else {
        PackageFiles::Entries entries = package(suffix, "甲方：[&lt;甲方>]");
        if (damage == QLatin1String("no main part"))
            entries.removeIf([&](const auto &entry) { return entry.first == mainPart(suffix); });
        if (damage == QLatin1String("not xml"))
            entries.last().second = "<office:document-content><unclosed>";
        entries.append({QStringLiteral("other.xml"), "<x/>"});
        QVERIFY(PackageFiles::write(source, entries));
        if (damage == QLatin1String("truncate")) {
            QFile zip(source);
            QVERIFY(zip.open(QIODevice::ReadWrite));
            zip.resize(zip.size() / 2);
        }
    }
    const QString models = mApp->file(QStringLiteral("DB/ModelFiles"));
    QByteArray before;
    if (!existing.isEmpty()) {
        before = "the old template " + existing.toUtf8();
        QVERIFY(writeFile(models + QLatin1Char('/') + existing, before));
    }

    const QString error = TemplateImport::importFile(Code, source);
    const QStringList left = QDir(models).entryList(QDir::Files | QDir::Hidden);
    if (after.isEmpty()) {
        // Refused with a message, and the category keeps what it had.
        QVERIFY(!error.isEmpty());
        QCOMPARE(left, existing.isEmpty() ? QStringList() : QStringList{existing});
        if (!existing.isEmpty()) {
            QFile old(models + QLatin1Char('/') + existing);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), before);
        }
        return;
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(left, QStringList{after});
    QCOMPARE(DocumentPaths::existingTemplate(Code), models + QLatin1Char('/') + after);
    QFile imported(models + QLatin1Char('/') + after);
    QFile original(source);
    QVERIFY(imported.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QCOMPARE(imported.readAll(), original.readAll());

    // The imported template is what the next contract is made from.
    if (suffix != QLatin1String("doc")) {
        const int id = addRecord();
        ContractDocument document(mWord, Code, DocumentPaths::contractFile(id), id);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(document.documentPath(), mainPart(suffix))),
                 QStringList{QStringLiteral("甲方：张三")});
    }
}

void TestPackageGeneration::importAsksBeforeReplacing() {
    const QString old = mApp->file(QStringLiteral("DB/ModelFiles/%1.Doc").arg(Code));
    QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), old));
    QTemporaryDir outside;
    const QString source = outside.filePath(QStringLiteral("新模板.docx"));
    QVERIFY(PackageFiles::write(source, package(QStringLiteral("docx"), "[&lt;甲方>]")));

    // "否": no file dialog, nothing changes.
    mMessages.answerQuestion(false);
    QVERIFY(!TemplateImport::run(Code));
    QCOMPARE(mMessages.texts().size(), 1);
    QCOMPARE(DocumentPaths::existingTemplate(Code), old);

    // "是", then the file dialog cancelled: nothing changes either.
    mMessages.clear();
    mMessages.answerQuestion(true);
    mMessages.answerFileName(QString());
    QVERIFY(!TemplateImport::run(Code));
    QCOMPARE(DocumentPaths::existingTemplate(Code), old);

    // "是" and a file: the .docx takes the Word 97 template's place.
    mMessages.clear();
    mMessages.answerQuestion(true);
    mMessages.answerFileName(source);
    QVERIFY(TemplateImport::run(Code));
    QCOMPARE(DocumentPaths::existingTemplate(Code), mApp->file(QStringLiteral("DB/ModelFiles/%1.docx").arg(Code)));
    QVERIFY(!QFile::exists(old));
}

void TestPackageGeneration::clausesTestTheValueWithoutItsUnit_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("docx") << QStringLiteral("docx");
    QTest::newRow("odt") << QStringLiteral("odt");
}

// 月租金 has the unit 元: a record without a rent fills its marker with "元", yet the clause on it goes.
void TestPackageGeneration::clausesTestTheValueWithoutItsUnit() {
    QFETCH(QString, format);
    const QString templateFile = mApp->file(QStringLiteral("DB/ModelFiles/%1.%2").arg(Code, format));
    QVERIFY(PackageFiles::write(
        templateFile, package(format, "甲方：[&lt;甲方>][&lt;如果:月租金>]，月租金[&lt;月租金>][&lt;结束>]。")));
    QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
                       {Code, QStringLiteral("张三"), QString()}));
    const int id = mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    ContractDocument document(mWord, Code, DocumentPaths::contractFile(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    QCOMPARE(PackageFiles::paragraphs(PackageFiles::read(document.documentPath(), mainPart(format))),
             QStringList{QStringLiteral("甲方：张三。")});
}

// "重新生成" on a contract document that holds clauses settles them before it fills the markers.
void TestPackageGeneration::regenerateSettlesClauses() {
    const int id = addRecord();
    QVERIFY(mApp->exec(QStringLiteral("UPDATE TContractMain SET Data2 = '' WHERE ID = ?"), {id}));
    QFile file(DocumentPaths::contractFile(id));
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()) && file.open(QIODevice::WriteOnly));
    file.write("甲方：[<甲方>]\n[<如果:月租金>]月租金[<月租金>]\n[<结束>]\n末尾");
    file.close();
    ContractDocument document(mWord, Code, DocumentPaths::contractFile(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Opened);
    QVERIFY(document.regenerate());
    QCOMPARE(mWord.text(), QStringLiteral("甲方：张三\n末尾"));
    QVERIFY(mWord.isModified());
}

QTEST_GUILESS_MAIN(TestPackageGeneration)
#include "tst_packagegeneration.moc"
