// Every way the program writes a contract record or a contract document leaves one history row (per record) in
// the same store, with the indicators' old and new values or the document's digest.

#include "catalogue/IndicatorCommands.h"
#include "contracts/ContractEntry.h"
#include "contracts/ContractRegister.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/PackageFiles.h"
#include "exchange/import/ContractImport.h"
#include "office/StandInWordApp.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "support/FolderTest.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

namespace {
const QString Cat = QStringLiteral("00010001");
const QString Other = QStringLiteral("00010002");
} // namespace

class TestChangeHistoryPaths : public FolderTest {
    Q_OBJECT

public:
    TestChangeHistoryPaths()
        : FolderTest({{Cat, QStringLiteral("买卖")}, {Other, QStringLiteral("其它")}}) {}

private:
    StandInWordApp mWord;
    int mRecord = 0;

    qint64 lastHistoryId() {
        return mApp->scalar(QStringLiteral("SELECT coalesce(max(ID), 0) FROM TChangeLog")).toLongLong();
    }

    int rowOf(const ContractEntry &entry, const QString &name) {
        for (int r = 0; r < entry.grid().rows(); ++r)
            if (entry.grid().name(r) == name)
                return r;
        return -1;
    }

    // The category's template, on the server where the store is shared.
    bool writeTemplate() {
        const QString relative = QStringLiteral("DB/ModelFiles/%1.docx").arg(Cat);
        return PackageFiles::write(
                   mApp->file(relative),
                   {{QStringLiteral("word/document.xml"),
                     R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
                     R"(<w:p><w:r><w:t>甲方：[&lt;甲方>]，乙方：[&lt;乙方>]。</w:t></w:r></w:p></w:body></w:document>)"}}) &&
               DocumentStore::put(relative) == DocumentStore::Outcome::Done;
    }

    // The paths, each with what it must leave: the action, the changes (as the window shows them) of the newest row,
    // how many rows, and whether the row names the document with its digest.
    struct Path {
        const char *name;
        std::function<void(TestChangeHistoryPaths &)> setUp;
        std::function<void(TestChangeHistoryPaths &)> act;
        QString action;
        QString changes;
        int rows;
        bool document;
    };
    static QList<Path> paths() {
        using T = TestChangeHistoryPaths;
        auto none = [](T &) {};
        auto generate = [](T &t) {
            QVERIFY(t.writeTemplate());
            ContractDocument document(t.mWord, Cat, DocumentPaths::contractFile(t.mRecord), t.mRecord);
            QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        };
        return {
            {"new record in the entry dialog", none,
             [](T &t) {
                 ContractEntry entry(t.mApp->database(), -1, Cat);
                 QVERIFY(entry.load());
                 entry.commitText(t.rowOf(entry, QStringLiteral("甲方")), QStringLiteral("丁公司"));
                 QVERIFY(entry.save());
             },
             ChangeHistory::Created, QStringLiteral("甲方： → 丁公司"), 1, false},
            {"change in the entry dialog", none,
             [](T &t) {
                 ContractEntry entry(t.mApp->database(), t.mRecord, Cat);
                 QVERIFY(entry.load());
                 entry.commitText(t.rowOf(entry, QStringLiteral("乙方")), QStringLiteral("戊公司"));
                 QVERIFY(entry.save());
             },
             ChangeHistory::Changed, QStringLiteral("乙方：乙公司 → 戊公司"), 1, false},
            {"copy", none,
             [](T &t) {
                 ContractRegister reg(t.mApp->database());
                 reg.setCurrentCategory(Cat);
                 QVERIFY(reg.loadRecords());
                 t.mMessages.answerQuestion(true);
                 QVERIFY(reg.copyRecord(0));
             },
             ChangeHistory::Copied, QStringLiteral("甲方： → 甲公司\n乙方： → 乙公司"), 1, false},
            {"delete", none,
             [](T &t) {
                 ContractRegister reg(t.mApp->database());
                 reg.setCurrentCategory(Cat);
                 QVERIFY(reg.loadRecords());
                 t.mMessages.answerQuestion(true);
                 QVERIFY(reg.deleteRecord(0));
             },
             ChangeHistory::Deleted, QStringLiteral("甲方：甲公司 → \n乙方：乙公司 → "), 1, false},
            // basic.xlsx holds four rows; 甲方 matches its column by name, 乙方 has none.
            {"import", none,
             [](T &t) {
                 ContractImport import(t.mApp->database(), Cat);
                 QVERIFY(import.openFile(QStringLiteral(EXCHANGE_TEST_DATA "/basic.xlsx")));
                 QVERIFY(import.importRows());
             },
             ChangeHistory::Imported, QStringLiteral("甲方： → Acme Ltd"), 4, false},
            {"values cleared by an indicator's delete", none,
             [](T &t) {
                 IndicatorCommands commands(t.mApp->database());
                 QVERIFY(commands.load(Cat));
                 commands.selectRow(1);
                 t.mMessages.answerQuestion(true);
                 commands.deleteIndicator();
             },
             ChangeHistory::Cleared, QStringLiteral("乙方：乙公司 → "), 1, false},
            {"values cleared by an indicator import", none,
             [](T &t) {
                 IndicatorCommands commands(t.mApp->database());
                 QVERIFY(commands.load(Cat));
                 commands.setSelectHook([](QString *code, QString *name) {
                     *code = Other;
                     *name = QStringLiteral("其它");
                     return true;
                 });
                 t.mMessages.answerQuestion(true);
                 commands.importIndicators();
             },
             ChangeHistory::Cleared, QStringLiteral("甲方：甲公司 → \n乙方：乙公司 → "), 1, false},
            {"document generated", none, generate, ChangeHistory::DocumentGenerated, QString(), 1, true},
            {"document regenerated and saved", generate,
             [](T &t) {
                 ContractDocument document(t.mWord, Cat, DocumentPaths::contractFile(t.mRecord), t.mRecord);
                 QCOMPARE(document.prepare(), ContractDocument::Preparation::Opened);
                 // The stand-in office shows a package as an empty text: a marker typed in gives it something to
                 // fill and save.
                 QVERIFY(t.mWord.paste(QStringLiteral("甲方：[<甲方>]")));
                 QVERIFY(document.regenerate());
                 QVERIFY2(document.save(), qPrintable(t.mMessages.texts().join(QLatin1Char('|'))));
             },
             ChangeHistory::DocumentSaved, QString(), 2, true},
            {"document deleted", generate,
             [](T &t) {
                 ContractRegister reg(t.mApp->database());
                 reg.setCurrentCategory(Cat);
                 QVERIFY(reg.loadRecords());
                 QVERIFY(reg.deleteDocument(0));
             },
             ChangeHistory::DocumentDeleted, QString(), 1, false},
        };
    }

    void initFolder() override {
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
        QVERIFY(mApp->addIndicator(Cat, QStringLiteral("乙方"), 0, QStringLiteral("Data2"), 2) > 0);
        QVERIFY(mApp->addIndicator(Other, QStringLiteral("丙方"), 0, QStringLiteral("Data3"), 1) > 0);
        QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
                           {Cat, QStringLiteral("甲公司"), QStringLiteral("乙公司")}));
        mRecord = mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
        mWord.quit();
        mWord.clearCalls();
    }

private Q_SLOTS:
    void everyWriteLeavesItsRow_data() {
        QTest::addColumn<int>("path");
        const QList<Path> list = paths();
        for (int i = 0; i < list.size(); ++i)
            QTest::newRow(list.at(i).name) << i;
    }
    void everyWriteLeavesItsRow() {
        QFETCH(int, path);
        const Path p = paths().at(path);
        p.setUp(*this);
        if (QTest::currentTestFailed())
            return;
        const qint64 before = lastHistoryId();
        p.act(*this);
        if (QTest::currentTestFailed())
            return;

        const std::optional<QList<ChangeHistory::Row>> all = ChangeHistory::read({});
        QVERIFY(all);
        QList<ChangeHistory::Row> rows;
        for (const ChangeHistory::Row &row : *all)
            if (row.id > before)
                rows.append(row);
        QCOMPARE(rows.size(), p.rows);
        const ChangeHistory::Row &newest = rows.first();
        QCOMPARE(newest.action, p.action);
        QCOMPARE(ChangeHistory::describe(newest.changes), p.changes);
        QCOMPARE(newest.category, Cat);
        QCOMPARE(newest.osUser, ChangeHistory::osUser());
        QCOMPARE(newest.dbUser.isEmpty(), Database::instance().backend() == Database::Backend::Embedded);
        QVERIFY(!newest.outside);
        QVERIFY(!newest.time.isEmpty());
        if (p.action != ChangeHistory::Created && p.action != ChangeHistory::Copied &&
            p.action != ChangeHistory::Imported)
            QCOMPARE(newest.recordId, qint64(mRecord));
        else
            QCOMPARE(newest.recordId, mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toLongLong());
        if (p.document) {
            QVERIFY(newest.documentFile.startsWith(Database::ContractFolder));
            QCOMPARE(newest.documentSha256, ChangeHistory::fileSha256(mApp->file(newest.documentFile)));
            QCOMPARE(newest.documentSha256.size(), 64);
        }
    }
};

QTEST_MAIN(TestChangeHistoryPaths)
#include "tst_change_history_paths.moc"
