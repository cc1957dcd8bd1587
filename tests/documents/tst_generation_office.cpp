// Contract document generation end to end: a real database, a Word 97 template written by the office, the real
// office (headless) filling it, and the saved contract document read back.

#include "documents/BatchGeneration.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/OfficeFixture.h"
#include "documents/TemplateEditor.h"
#include "office/LibreOfficeWordApp.h"
#include "platform/Clipboard.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString Code = QStringLiteral("00010001");

DocFixture templateFixture() {
    DocFixture doc;
    QString installments;
    for (int i = 1; i <= 20; ++i)
        installments += QStringLiteral("第%1期[<月租金>]").arg(i);
    doc.paragraphs = {
        QStringLiteral("本合同由出租方[<出租方>]与承租方[<承租方>]签订。"),
        installments,
        QStringLiteral("说明：[<说明>]。"),
        QStringLiteral("已删除的指标：[<旧指标>]。"),
        QStringLiteral("面积[<AREA>]，[<area>]。"),
    };
    doc.table = {{QStringLiteral("押金"), QStringLiteral("[<押金>]")},
                 {QStringLiteral("出租方"), QStringLiteral("[<出租方>]（盖章）")}};
    doc.header = QStringLiteral("合同编号：[<合同编号>]");
    doc.footer = QStringLiteral("签订日期[<签订日期>]");
    doc.frame = QStringLiteral("备注：[<备注>]");
    return doc;
}

// The document text with repeated neighbouring lines dropped: the office lists a header or footer shared by
// several page kinds once per kind, and how many kinds it reports varies between loads.
QString normalised(const QString &text) {
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (lines.isEmpty() || lines.last() != line || line.isEmpty())
            lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestGenerationOffice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void generateSaveAndReopen();
    void closeWithoutSaveKeepsTheFilledDocument();
    void textBoxesAreFilled();
    void editedTemplateIsFilledAnew();
    void batchGoesOnAfterTheOfficeDied();
    void batchOfficesSideBySide();
    void cancelledBatchKeepsWhatIsDone();
    void officeSaveLeavesEmptyDocAlone();
    void categoryWithoutTemplateOrIndicators();

private:
    int addRecord(const QStringList &values);
    QString expectedFor(const QList<MarkerPair> &pairs) const;
    QString reopenedText(const QString &path);

    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
    LibreOfficeWordApp mReader{LibreOfficeWordApp::Display::Headless};
    QString mTemplateText;
};

void TestGenerationOffice::initTestCase() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    Messages::setInstance(&mMessages);
    QVERIFY(mApp->addCategory(QStringLiteral("0001"), QStringLiteral("房屋租赁")));
    QVERIFY(mApp->addCategory(Code, QStringLiteral("房屋租赁合同"), QStringLiteral("0001")));
    struct Def {
        const char16_t *name;
        const char *column;
        const char16_t *unit;
    };
    // 说明 comes first and holds the marker of 出租方, which is filled after it.
    const Def defs[] = {{u"说明", "Data6", u""},       {u"合同编号", "Data1", u""}, {u"出租方", "Data2", u""},
                        {u"承租方", "Data3", u""},     {u"月租金", "Data4", u"元"}, {u"押金", "Data5", u"元"},
                        {u"Area", "Data7", u"平方米"}, {u"签订日期", "Data8", u""}, {u"备注", "Data9", u""}};
    int sort = 1;
    for (const Def &def : defs) {
        QVERIFY(mApp->addIndicator(Code, QString::fromUtf16(def.name), 0, QLatin1String(def.column), sort++, QString(),
                                   QString(), QString::fromUtf16(def.unit)) > 0);
    }

    QString error;
    QVERIFY2(writeDocFixture(DocumentPaths::templateFile(Code), templateFixture(), &error), qPrintable(error));
    QVERIFY2(mReader.connect(), qPrintable(mReader.lastError()));
    mTemplateText = reopenedText(DocumentPaths::templateFile(Code));
    QVERIFY2(mTemplateText.contains(QStringLiteral("合同编号：[<合同编号>]")), qPrintable(mTemplateText));
    QVERIFY2(mTemplateText.contains(QStringLiteral("备注：[<备注>]")), qPrintable(mTemplateText));
}

void TestGenerationOffice::cleanupTestCase() {
    mReader.quit();
    mApp.reset();
}

int TestGenerationOffice::addRecord(const QStringList &values) {
    QVariantList binds{Code};
    QStringList columns;
    for (int i = 0; i < values.size(); ++i) {
        columns << QStringLiteral("Data%1").arg(i + 1);
        binds << values.at(i);
    }
    const QString sql = QStringLiteral("INSERT INTO TContractMain (MainTypeCode, %1) VALUES (?%2)")
                            .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(values.size()));
    if (!mApp->exec(sql, binds))
        return -1;
    return mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
}

QString TestGenerationOffice::expectedFor(const QList<MarkerPair> &pairs) const {
    QString text = mTemplateText;
    for (const MarkerPair &pair : pairs)
        text.replace(pair.marker, pair.replacement, Qt::CaseInsensitive);
    return text;
}

QString TestGenerationOffice::reopenedText(const QString &path) {
    if (!mReader.open(path))
        return QStringLiteral("<open failed: %1>").arg(mReader.lastError());
    return mReader.documentText().value_or(QStringLiteral("<no text>"));
}

void TestGenerationOffice::generateSaveAndReopen() {
    const int id =
        addRecord({QStringLiteral("FZ20261210001"), QStringLiteral("张三"), QStringLiteral("李四"),
                   QStringLiteral("3500.00"), QString(), QStringLiteral("[<出租方>]负责维修 & 支付$1\\费用[<"),
                   QStringLiteral("88.50"), QStringLiteral("2026-12-10"), QStringLiteral("第一行\n第二行")});
    QVERIFY(id > 0);
    const QString path = DocumentPaths::contractFile(id);
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        ContractDocument document(word, Code, path, id);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
        // Saved filled at once, never as a copy of the template.
        QVERIFY(QFile::exists(path));
        QVERIFY(fileHash(path) != fileHash(DocumentPaths::templateFile(Code)));
        QVERIFY(!word.isModified());
        QVERIFY(document.save());
        QVERIFY(document.saved());
        const QString expected = expectedFor(document.markerPairs());

        // "导出PDF": the Chinese text can be read out of the PDF, its fonts are in it.
        const QString pdf = mApp->file(QStringLiteral("合同.pdf"));
        mMessages.answerFileName(pdf);
        document.exportPdf();
        QVERIFY2(mMessages.lastText() == QStringLiteral("导出PDF文件"), qPrintable(mMessages.lastText()));
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0,
                 "pdftotext (poppler-utils) could not read the PDF");
        const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(pdfText.contains(QStringLiteral("本合同由出租方张三与承租方李四签订")), qPrintable(pdfText));
        QVERIFY2(pdfText.contains(QStringLiteral("合同编号：FZ20261210001")), qPrintable(pdfText));
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(60000) && fonts.exitCode() == 0);
        const QStringList fontLines = QString::fromUtf8(fonts.readAllStandardOutput()).split(QLatin1Char('\n')).mid(2);
        for (const QString &line : fontLines) {
            // ... emb sub uni object ID: "emb" is the fifth field from the end.
            const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (fields.size() >= 5)
                QVERIFY2(fields.at(fields.size() - 5) == QStringLiteral("yes"), qPrintable(line));
        }
        mMessages.clear();
        document.close();

        const QString saved = reopenedText(path);
        if (normalised(saved) != normalised(expected))
            qWarning().noquote() << "saved:\n" << saved << "\nexpected:\n" << expected;
        QCOMPARE(normalised(saved), normalised(expected));
        QVERIFY(saved.contains(QStringLiteral("合同编号：FZ20261210001")));
        QVERIFY(saved.contains(QStringLiteral("第20期3500.00元")));
        QVERIFY(saved.contains(QStringLiteral("说明：张三负责维修 & 支付$1\\费用[<。")));
        QVERIFY(saved.contains(QStringLiteral("已删除的指标：[<旧指标>]。")));
        QVERIFY(saved.contains(QStringLiteral("面积88.50平方米，88.50平方米。")));
        QVERIFY(saved.contains(QStringLiteral("押金\n元")));
        QVERIFY(saved.contains(QStringLiteral("签订日期2026-12-10")));
        QVERIFY(saved.contains(QStringLiteral("备注：第一行\n第二行")));
        QCOMPARE(saved.count(QStringLiteral("[<")), 2);
    }
}

void TestGenerationOffice::closeWithoutSaveKeepsTheFilledDocument() {
    const int id = addRecord(
        {QStringLiteral("FZ20261210002"), QStringLiteral("王五"), QStringLiteral("赵六"), QStringLiteral("1200.00")});
    QVERIFY(id > 0);
    const QString path = DocumentPaths::contractFile(id);
    QList<MarkerPair> pairs;
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        ContractDocument first(word, Code, path, id);
        QCOMPARE(first.prepare(), ContractDocument::Preparation::Generated);
        pairs = first.markerPairs();
        // Nothing to ask about: what the office shows is what is on disk.
        QVERIFY(first.canClose());
        first.close();
    }
    const QString expected = normalised(expectedFor(pairs));
    QCOMPARE(normalised(reopenedText(path)), expected);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("~*")}, QDir::Files), QStringList());
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        ContractDocument second(word, Code, path, id);
        QCOMPARE(second.prepare(), ContractDocument::Preparation::Opened);
        QCOMPARE(normalised(word.documentText().value_or(QString())), expected);
        QVERIFY(second.regenerate());
        QCOMPARE(normalised(word.documentText().value_or(QString())), expected);
        second.close();
    }
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
}

void TestGenerationOffice::textBoxesAreFilled() {
    // A text box of a Word file is a drawing shape with text once the office has read it, not a text frame.
    const QString code = QStringLiteral("00010004");
    QVERIFY(mApp->addCategory(code, QStringLiteral("带文本框的合同"), QStringLiteral("0001")));
    QVERIFY(mApp->addIndicator(code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(mApp->addIndicator(code, QStringLiteral("金额"), 0, QStringLiteral("Data2"), 2, QString(), QString(),
                               QStringLiteral("元")) > 0);
    DocFixture doc;
    doc.paragraphs = {QStringLiteral("正文：[<甲方>]")};
    doc.textBox = QStringLiteral("文本框：[<甲方>]，[<金额>]");
    doc.groupedTextBoxes = {QStringLiteral("组合一：[<甲方>]"), QStringLiteral("组合二：[<金额>]")};
    QString error;
    QVERIFY2(writeDocFixture(DocumentPaths::templateFile(code), doc, &error), qPrintable(error));
    const QString templateText = reopenedText(DocumentPaths::templateFile(code));
    for (const QString &line : {doc.textBox, doc.groupedTextBoxes.at(0), doc.groupedTextBoxes.at(1)})
        QVERIFY2(templateText.contains(line), qPrintable(templateText));

    mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
               {code, QStringLiteral("张三"), QStringLiteral("500.00")});
    const int id = mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    const QString path = DocumentPaths::contractFile(id);
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        ContractDocument document(word, code, path, id);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        document.close();
    }
    const QString saved = reopenedText(path);
    for (const QString &line : {QStringLiteral("正文：张三"), QStringLiteral("文本框：张三，500.00元"),
                                QStringLiteral("组合一：张三"), QStringLiteral("组合二：500.00元")})
        QVERIFY2(saved.contains(line), qPrintable(saved));
    QVERIFY2(!saved.contains(QStringLiteral("[<")), qPrintable(saved));
}

void TestGenerationOffice::editedTemplateIsFilledAnew() {
    // The office's converted copy of a template is kept between contracts; a template changed since must never
    // give a contract of its old text.
    const QString code = QStringLiteral("00010009");
    QVERIFY(mApp->addCategory(code, QStringLiteral("改过模板的合同"), QStringLiteral("0001")));
    QVERIFY(mApp->addIndicator(code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    const auto generate = [&](const QString &templateLine) -> QString {
        DocFixture doc;
        doc.paragraphs = {templateLine};
        QString error;
        if (!writeDocFixture(DocumentPaths::templateFile(code), doc, &error))
            return QStringLiteral("<template: %1>").arg(error);
        mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, ?)"),
                   {code, QStringLiteral("张三")});
        const int id = mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
        {
            LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
            ContractDocument document(word, code, DocumentPaths::contractFile(id), id);
            if (document.prepare() != ContractDocument::Preparation::Generated)
                return QStringLiteral("<not generated: %1>").arg(mMessages.texts().join(QLatin1Char('|')));
            document.close();
        }
        return reopenedText(DocumentPaths::contractFile(id));
    };
    const QString first = generate(QStringLiteral("第一版：[<甲方>]"));
    QVERIFY2(first.contains(QStringLiteral("第一版：张三")), qPrintable(first));
    // The same again from the kept copy, then from the edited template (same length, written at once).
    const QString again = generate(QStringLiteral("第一版：[<甲方>]"));
    QVERIFY2(again.contains(QStringLiteral("第一版：张三")), qPrintable(again));
    const QString edited = generate(QStringLiteral("第二版：[<甲方>]"));
    QVERIFY2(edited.contains(QStringLiteral("第二版：张三")) && !edited.contains(QStringLiteral("第一版")),
             qPrintable(edited));
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
}

void TestGenerationOffice::batchGoesOnAfterTheOfficeDied() {
    QList<int> ids;
    for (const QString &name : {QStringLiteral("甲一"), QStringLiteral("甲二"), QStringLiteral("甲三")})
        ids << addRecord({QStringLiteral("FZ-%1").arg(name), name});
    QVERIFY(!ids.contains(-1));
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    BatchGeneration batch(mApp->database(), word, {});
    QCOMPARE(batch.run(ids.at(0)).kind, BatchGeneration::Result::Kind::Generated);
    // The office dies between two documents, as a crash would end it: the next document starts a new one.
    OfficeTestAccess::killOffice(word);
    QCOMPARE(batch.run(ids.at(1)).kind, BatchGeneration::Result::Kind::Generated);
    QCOMPARE(batch.run(ids.at(2)).kind, BatchGeneration::Result::Kind::Generated);
    word.quit();
    for (int i = 0; i < ids.size(); ++i) {
        const QString saved = reopenedText(DocumentPaths::contractFile(ids.at(i)));
        QVERIFY2(saved.contains(QStringLiteral("本合同由出租方%1")
                                    .arg(i == 0   ? QStringLiteral("甲一")
                                         : i == 1 ? QStringLiteral("甲二")
                                                  : QStringLiteral("甲三"))),
                 qPrintable(saved));
    }
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
}

void TestGenerationOffice::batchOfficesSideBySide() {
    QList<int> ids;
    for (int i = 1; i <= 6; ++i)
        ids << addRecord({QStringLiteral("FZ-并行%1").arg(i), QStringLiteral("出租人%1").arg(i)});
    QVERIFY(!ids.contains(-1));
    // A marker of the template that names no indicator of the category stays as it is, and the summary says so.
    const QRegularExpression marker(QStringLiteral("\\[<(.*?)>\\]"));
    QStringList expectedUnfilled;
    bool ok = false;
    QStringList names;
    for (const Indicator &indicator : Indicator::ofCategory(Code, &ok))
        names << indicator.PropertyName;
    for (auto it = marker.globalMatch(mTemplateText); it.hasNext();) {
        const auto match = it.next();
        if (!names.contains(match.captured(1), Qt::CaseInsensitive) && !expectedUnfilled.contains(match.captured(0)))
            expectedUnfilled << match.captured(0);
    }
    const QString other = QStringLiteral("00010006");
    QVERIFY(mApp->addCategory(other, QStringLiteral("只有一个指标的合同"), QStringLiteral("0001")));
    QVERIFY(mApp->addIndicator(other, QStringLiteral("合同编号"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(QFile::copy(DocumentPaths::templateFile(Code), DocumentPaths::templateFile(other)));
    QVERIFY(
        mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, 'FZ-其他')"), {other}));
    ids << mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();

    // Offices that save quickly, as the register's and vantrel-generate's: the documents are complete all the same.
    const QList<BatchGeneration::Result> results =
        BatchGeneration::runAll(mApp->database(), ids, {},
                                [] {
                                    auto word =
                                        std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless);
                                    word->setQuickSave(true);
                                    return word;
                                },
                                2, {});
    QCOMPARE(results.size(), ids.size());
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(results.at(i).recordId, ids.at(i));
        QCOMPARE(results.at(i).kind, BatchGeneration::Result::Kind::Generated);
        // Each document holds its own record's values, whichever office made it.
        const QString saved = reopenedText(DocumentPaths::contractFile(ids.at(i)));
        QVERIFY2(saved.contains(QStringLiteral("本合同由出租方出租人%1").arg(i + 1)), qPrintable(saved));
    }
    QCOMPARE(results.at(0).unfilledMarkers, expectedUnfilled);
    QVERIFY(results.at(6).unfilledMarkers.contains(QStringLiteral("[<出租方>]")));
    const QString summary = BatchGeneration::summary(results);
    QVERIFY2(summary.contains(QStringLiteral("模板中以下标记没有对应的指标，在文档中没有填写：[<")),
             qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("[<出租方>]")), qPrintable(summary));
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(QLatin1Char('|'))));
}

void TestGenerationOffice::cancelledBatchKeepsWhatIsDone() {
    QList<int> ids;
    for (int i = 1; i <= 8; ++i)
        ids << addRecord({QStringLiteral("FZ-取消%1").arg(i), QStringLiteral("取消%1").arg(i)});
    // Cancelled as soon as the first document is done: those being made are finished, no further one begun. How
    // many the two offices have begun by the time the cancel is seen depends on the machine's pace, so the count
    // is bounded by what had begun then, not by a fixed number.
    int begunAtCancel = 0;
    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        mApp->database(), ids, {},
        [] { return std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless); }, 2,
        [&](const BatchGeneration::Step &step) {
            if (step.done == 0)
                return true;
            begunAtCancel = step.begun;
            return false;
        });
    QVERIFY2(!results.isEmpty() && results.size() < ids.size(), qPrintable(QString::number(results.size())));
    // The two offices may each take one more queued document before the cancel reaches the queue.
    QVERIFY2(results.size() <= begunAtCancel + 2,
             qPrintable(QStringLiteral("%1 made, %2 begun at cancel").arg(results.size()).arg(begunAtCancel)));
    for (int i = 0; i < ids.size(); ++i) {
        const bool made = i < results.size();
        if (made) {
            QCOMPARE(results.at(i).recordId, ids.at(i));
            QCOMPARE(results.at(i).kind, BatchGeneration::Result::Kind::Generated);
        }
        QCOMPARE(QFile::exists(DocumentPaths::contractFile(ids.at(i))), made);
    }
    QVERIFY(BatchGeneration::summary(results, int(ids.size()))
                .startsWith(QStringLiteral("已取消，其余 %1 份没有生成。\n已生成 %2 份")
                                .arg(ids.size() - results.size())
                                .arg(results.size())));
    const QDir folder = QFileInfo(DocumentPaths::contractFile(ids.first())).absoluteDir();
    QCOMPARE(folder.entryList({QStringLiteral(".batch-*"), QStringLiteral("~*")}, QDir::Files | QDir::Hidden),
             QStringList());
}

void TestGenerationOffice::officeSaveLeavesEmptyDocAlone() {
    // A new category's template starts from DB/Empty.Doc; the office's own Save must not write over it.
    const QString code = QStringLiteral("00010005");
    QVERIFY(mApp->addCategory(code, QStringLiteral("新类别"), QStringLiteral("0001")));
    QFile::remove(DocumentPaths::emptyTemplate());
    QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), DocumentPaths::emptyTemplate()));
    const QByteArray blank = fileHash(DocumentPaths::emptyTemplate());
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    TemplateEditor editor(word, code, DocumentPaths::templateFile(code));
    QVERIFY(editor.prepare());
    QVERIFY2(word.paste(QStringLiteral("[<甲方>]")), qPrintable(word.lastError()));
    QVERIFY2(OfficeTestAccess::saveInPlace(word), qPrintable(word.lastError()));
    QCOMPARE(fileHash(DocumentPaths::emptyTemplate()), blank);
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(code)));

    mMessages.answerSaveQuestion(Messages::SaveChoice::Discard);
    QVERIFY(editor.canClose());
    editor.close();
    QCOMPARE(fileHash(DocumentPaths::emptyTemplate()), blank);
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(code)));
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("模板文档已经修改，是否保存？")});
    mMessages.clear();
}

void TestGenerationOffice::categoryWithoutTemplateOrIndicators() {
    const QString noTemplate = QStringLiteral("00010002");
    const QString noIndicators = QStringLiteral("00010003");
    QVERIFY(mApp->addCategory(noTemplate, QStringLiteral("无模板"), QStringLiteral("0001")));
    QVERIFY(mApp->addCategory(noIndicators, QStringLiteral("无指标"), QStringLiteral("0001")));
    QVERIFY(mApp->addIndicator(noTemplate, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(QFile::copy(DocumentPaths::templateFile(Code), DocumentPaths::templateFile(noIndicators)));
    const auto addTo = [this](const QString &category) {
        mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, ?)"),
                   {category, QStringLiteral("张三")});
        return mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    };

    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    mMessages.clear();
    const int first = addTo(noTemplate);
    {
        ContractDocument document(word, noTemplate, DocumentPaths::contractFile(first), first);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::NoTemplate);
        QVERIFY(document.raiseOffice());
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("选定合同类型的模板文件尚未创建！")});
        QVERIFY(!QFile::exists(DocumentPaths::contractFile(first)));
        document.close();
    }
    mMessages.clear();
    const int second = addTo(noIndicators);
    {
        ContractDocument document(word, noIndicators, DocumentPaths::contractFile(second), second);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("选定合同对应的合同参数已经不存在！")});
        QCOMPARE(normalised(word.documentText().value_or(QString())), normalised(mTemplateText));
        document.close();
    }
}

QTEST_MAIN(TestGenerationOffice)
#include "tst_generation_office.moc"
