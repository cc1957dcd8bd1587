// Documents of a shared server: two programs (two application folders on one server database) fetch, save and
// delete one document; the later of two saves is refused and nothing is lost.

#include "catalogue/CategoryCommands.h"
#include "contracts/ContractRegister.h"
#include "documents/BatchGeneration.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "documents/TemplateEditor.h"
#include "documents/TemplateImport.h"
#include "office/StandInWordApp.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/ServerSettings.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
const QString Code = QStringLiteral("00010001");
const QString Doc = QStringLiteral("DB/ContractFile/7.Doc");
} // namespace

class TestSharedDocuments : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> mFirst;
    std::unique_ptr<TempAppFolder> mSecond;
    ScriptedMessages mMessages;
    FixedClock mClock{QDateTime(QDate(2026, 3, 7), QTime(9, 30))};

    // The program of that folder is the one running now.
    static void use(const TempAppFolder &app) { QVERIFY(Database::create(app.path()).isConnected()); }
    // What the server holds for the path: the bytes, or nothing.
    static std::optional<QByteArray> onServer(const QString &relative) {
        QSqlQuery q(Database::instance().connection());
        if (!execBound(q, QStringLiteral("SELECT Content FROM TFile WHERE Path=?"), {relative}) || !q.next())
            return std::nullopt;
        return q.value(0).toByteArray();
    }

    // Record 7 of a category whose template "甲方[<甲方>]" is on the server only.
    static void addRecordWithTemplate(TempAppFolder &app) {
        QVERIFY(app.addCategoryTree({{Code, QStringLiteral("房屋租赁合同")}}, QStringLiteral("房屋租赁")));
        QVERIFY(app.addIndicator(Code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
        QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (ID, MainTypeCode, Data1) VALUES (7, ?, ?)"),
                         {Code, QStringLiteral("张三")}));
        QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
        QCOMPARE(DocumentStore::put(DocumentStore::relativePath(DocumentPaths::templateFile(Code))),
                 DocumentStore::Outcome::Done);
        QVERIFY(QFile::remove(DocumentPaths::templateFile(Code)));
    }

private Q_SLOTS:
    void initTestCase() {
        Clock::setInstance(&mClock);
        Messages::setInstance(&mMessages);
    }

    void init() {
        const QString why = TempAppFolder::serverUnavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        TempAppFolder::useStore(TempAppFolder::Store::Server);
        mFirst = std::make_unique<TempAppFolder>();
        QVERIFY(mFirst->isValid());
        // The second program names the first one's database.
        mSecond = std::make_unique<TempAppFolder>(false);
        QVERIFY(mSecond->isValid());
        QFile::remove(mSecond->file(ServerSettings::File));
        QVERIFY(QFile::copy(mFirst->file(ServerSettings::File), mSecond->file(ServerSettings::File)));
        mMessages.clear();
    }

    void cleanup() {
        mSecond.reset();
        mFirst.reset();
        TempAppFolder::useStore(TempAppFolder::Store::Embedded);
    }

    void laterSaveIsRefusedAndTheFirstSurvives() {
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "original"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        QVERIFY(DocumentStore::fetch(Doc));

        use(*mSecond);
        QVERIFY(DocumentStore::fetch(Doc));
        QCOMPARE(readFile(mSecond->file(Doc)), QByteArray("original"));

        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "first's edit"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);

        use(*mSecond);
        QVERIFY(writeFile(mSecond->file(Doc), "second's edit"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Conflict);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>("first's edit"));
        // Reloaded, the second program saves on top of what it now has.
        QVERIFY(DocumentStore::fetch(Doc));
        QCOMPARE(readFile(mSecond->file(Doc)), QByteArray("first's edit"));
        QVERIFY(writeFile(mSecond->file(Doc), "second's edit after reload"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>("second's edit after reload"));
    }

    void twoNewDocumentsOfOnePath() {
        for (const TempAppFolder *app : {mFirst.get(), mSecond.get()}) {
            use(*app);
            QVERIFY(DocumentStore::fetch(Doc));
        }
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "made by the first"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        use(*mSecond);
        QVERIFY(writeFile(mSecond->file(Doc), "made by the second"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Conflict);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>("made by the first"));
    }

    void deletedOnTheServerLeavesNoLocalCopy() {
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "to be deleted"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        use(*mSecond);
        QVERIFY(DocumentStore::fetch(Doc));
        QVERIFY(QFile::exists(mSecond->file(Doc)));
        use(*mFirst);
        QVERIFY(DocumentStore::remove(Doc));
        QVERIFY(!DocumentStore::exists(Doc));
        use(*mSecond);
        QVERIFY(DocumentStore::fetch(Doc));
        QVERIFY(!QFile::exists(mSecond->file(Doc)));
    }

    void localCopyTheServerNeverHadIsKeptAside() {
        // A document put into the folder by hand (or from before the folder used the server) is no stale copy:
        // the fetch keeps it in Bak/ instead of deleting it.
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "only here"));
        QVERIFY(DocumentStore::fetch(Doc));
        QVERIFY(!QFile::exists(mFirst->file(Doc)));
        const QStringList kept = QDir(mFirst->file(QStringLiteral("Bak"))).entryList({QStringLiteral("*_本机副本_*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readFile(mFirst->file(QStringLiteral("Bak/")) + kept.first()), QByteArray("only here"));
    }

    // A program started later (after a crash, or after the user edited the document outside the program) does not
    // replace a changed copy unseen: it goes to Bak/ first, and when it cannot, nothing is replaced and the user is
    // told. A copy as the program last had it is replaced without one.
    void laterProgramKeepsAChangedCopy_data() {
        QTest::addColumn<bool>("editedOutside");
        QTest::addColumn<bool>("bakWritable");
        QTest::newRow("unchanged copy") << false << true;
        QTest::newRow("changed copy, Bak writable") << true << true;
        QTest::newRow("changed copy, Bak not writable") << true << false;
    }
    void laterProgramKeepsAChangedCopy() {
        QFETCH(bool, editedOutside);
        QFETCH(bool, bakWritable);
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "as written"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        use(*mSecond);
        QVERIFY(DocumentStore::fetch(Doc));
        QVERIFY(writeFile(mSecond->file(Doc), "the second's version"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);

        // The first program has ended.
        const QByteArray before = editedOutside ? QByteArray("edited outside the program") : QByteArray("as written");
        QVERIFY(writeFile(mFirst->file(Doc), before));
        const QString bak = mFirst->file(QStringLiteral("Bak"));
        if (!bakWritable) {
            QVERIFY(QDir(bak).removeRecursively());
            QVERIFY(writeFile(bak, "a file where the folder belongs"));
        }
        const auto fetchInANewProgram = [&](int exitCode) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QStringLiteral(FETCH_CHILD), {mFirst->path(), Doc});
            QVERIFY(child.waitForFinished(60000));
            const QString output = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == exitCode, qPrintable(output));
            if (exitCode == 0) {
                QCOMPARE(output, QStringLiteral("fetched"));
                return;
            }
            QCOMPARE(output,
                     DocumentSync::fetchFailedText(
                         QStringLiteral("本机的文件“%1”与程序从服务器取得或保存的版本不同，又不能在Bak文件夹中保留"
                                        "它的副本，所以没有用服务器上的版本替换它。请先将这个文件另存到其他位置。")
                             .arg(QDir::toNativeSeparators(mFirst->file(Doc)))));
        };
        fetchInANewProgram(bakWritable ? 0 : 1);
        if (!bakWritable) {
            QCOMPARE(readFile(mFirst->file(Doc)), before);
            return;
        }
        QCOMPARE(readFile(mFirst->file(Doc)), QByteArray("the second's version"));
        const QStringList kept = QDir(bak).entryList(QDir::Files);
        QCOMPARE(kept.size(), editedOutside ? 1 : 0);
        if (editedOutside) {
            QVERIFY2(kept.first().startsWith(QStringLiteral("7_本机修改_")), qPrintable(kept.first()));
            QCOMPARE(readFile(bak + QLatin1Char('/') + kept.first()), before);
        }
        // Fetched once more, the copy now as fetched is not kept again.
        fetchInANewProgram(0);
        QCOMPARE(QDir(bak).entryList(QDir::Files), kept);
    }

    // A program that never fetched the document does not overwrite the version on the server: the save is refused
    // and the user's document kept aside, as when another user saved first.
    void saveWithoutAFetchIsRefused() {
        use(*mFirst);
        QVERIFY(writeFile(mFirst->file(Doc), "on the server"));
        QCOMPARE(DocumentStore::put(Doc), DocumentStore::Outcome::Done);
        use(*mSecond);
        QVERIFY(writeFile(mSecond->file(Doc), "never fetched"));
        mMessages.answerQuestion(false);
        QCOMPARE(DocumentSync::writeBack(mSecond->file(Doc), QStringLiteral("合同文档")),
                 DocumentSync::WriteBack::Kept);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>("on the server"));
        const QString kept = mSecond->file(QStringLiteral("Bak/7_本机修改_20260307_093000.Doc"));
        QCOMPARE(readFile(kept), QByteArray("never fetched"));
        QCOMPARE(mMessages.texts().size(), 1);
        QVERIFY2(mMessages.lastText().startsWith(
                     QStringLiteral("该合同文档在您打开之后已经被其他用户修改并保存，您的修改没有保存到服务器。")),
                 qPrintable(mMessages.lastText()));
    }

    // The office's own Save writes the template in place; closing the editor takes it to the server, and when
    // another program saved meanwhile the user's template is kept aside.
    void officeSaveReachesTheServerOnClose_data() {
        QTest::addColumn<bool>("otherSavedMeanwhile");
        QTest::newRow("alone") << false;
        QTest::newRow("another program saved meanwhile") << true;
    }
    void officeSaveReachesTheServerOnClose() {
        QFETCH(bool, otherSavedMeanwhile);
        use(*mFirst);
        const QString relative = QStringLiteral("DB/ModelFiles/") + Code + QStringLiteral(".Doc");
        QVERIFY(writeText(mFirst->file(relative), QStringLiteral("原模板")));
        QCOMPARE(DocumentStore::put(relative), DocumentStore::Outcome::Done);

        use(*mSecond);
        StandInWordApp word;
        TemplateEditor editor(word, Code, DocumentPaths::templateFile(Code));
        QVERIFY(editor.prepare());
        QCOMPARE(word.text(), QStringLiteral("原模板"));
        if (otherSavedMeanwhile) {
            use(*mFirst);
            QVERIFY(writeText(mFirst->file(relative), QStringLiteral("其他用户的模板")));
            QCOMPARE(DocumentStore::put(relative), DocumentStore::Outcome::Done);
            use(*mSecond);
            mMessages.answerQuestion(false);
        }
        word.setText(QStringLiteral("办公软件中保存的模板"));
        QVERIFY(word.saveInPlace());
        QVERIFY(editor.canClose());
        editor.close();
        const QString expected =
            otherSavedMeanwhile ? QStringLiteral("其他用户的模板") : QStringLiteral("办公软件中保存的模板");
        QCOMPARE(onServer(relative), std::optional<QByteArray>(expected.toUtf8()));
        // Once told and kept aside, the same change is neither offered nor kept again.
        QCOMPARE(mMessages.texts().size(), otherSavedMeanwhile ? 1 : 0);
        if (otherSavedMeanwhile) {
            QCOMPARE(readText(mSecond->file(QStringLiteral("Bak/00010001_本机修改_20260307_093000.Doc"))),
                     QStringLiteral("办公软件中保存的模板"));
        } else {
            QCOMPARE(mMessages.texts(), QStringList());
        }
    }

    // Documents another program made go from the server with the record, the document command and the category.
    void deletionsReachTheServer() {
        use(*mFirst);
        addRecordWithTemplate(*mFirst);
        QVERIFY(mFirst->addCategory(QStringLiteral("00010002"), QStringLiteral("空类别"), QStringLiteral("0001")));
        const QString otherTemplate = QStringLiteral("DB/ModelFiles/00010002.docx");
        const auto madeBySecond = [&](const QString &relative) {
            use(*mSecond);
            QVERIFY(DocumentStore::fetch(relative));
            QVERIFY(writeFile(mSecond->file(relative), "made by the second"));
            QCOMPARE(DocumentStore::put(relative), DocumentStore::Outcome::Done);
            use(*mFirst);
        };

        // A register works on the database it was made with: each is made after the second program's turn, which
        // replaced the process's database.
        madeBySecond(Doc);
        {
            ContractRegister reg(mFirst->database());
            reg.setCurrentCategory(Code);
            QVERIFY(reg.loadRecords());
            QVERIFY(reg.deleteDocument(0));
            QCOMPARE(mMessages.lastText(), QStringLiteral("选定合同记录生成的Word文档已经删除！"));
            QCOMPARE(onServer(Doc), std::nullopt);
        }

        madeBySecond(Doc);
        {
            ContractRegister reg(mFirst->database());
            reg.setCurrentCategory(Code);
            QVERIFY(reg.loadRecords());
            mMessages.answerQuestion(true);
            QVERIFY(reg.deleteRecord(0));
            QCOMPARE(onServer(Doc), std::nullopt);
        }

        madeBySecond(otherTemplate);
        CategoryCommands commands(Database::instance());
        QVERIFY(commands.loadTree());
        commands.select(commands.model()->findCode(QStringLiteral("00010002")));
        mMessages.answerQuestion(true);
        commands.deleteCategory();
        QCOMPARE(mFirst->scalar(QStringLiteral("SELECT count(*) FROM TContractClass WHERE TypeCode='00010002'")),
                 QStringLiteral("0"));
        QCOMPARE(onServer(otherTemplate), std::nullopt);
    }

    // The server refuses the write: the save is not reported done, and the change is kept aside when the window
    // closes rather than lost to the next fetch.
    void failedWriteIsToldAndKeptOnClose() {
        use(*mFirst);
        addRecordWithTemplate(*mFirst);
        StandInWordApp word;
        ContractDocument document(word, Code, DocumentPaths::contractFile(7), 7);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        QVERIFY(mFirst->refuseChanges(QStringLiteral("TFile"), QStringLiteral("UPDATE")));
        word.setText(QStringLiteral("未能写入服务器的修改"));
        mMessages.clear();
        QVERIFY(!document.save());
        QCOMPARE(mMessages.texts().size(), 1);
        QVERIFY(mMessages.lastText().startsWith(
            QStringLiteral("保存文件到服务器发生错误，您的修改没有保存到服务器！\r错误原因：")));
        QVERIFY(!document.saved());
        QCOMPARE(onServer(Doc), std::optional<QByteArray>(QStringLiteral("甲方张三").toUtf8()));

        QVERIFY(document.canClose());
        document.close();
        const QString kept = mFirst->file(QStringLiteral("Bak/7_本机修改_20260307_093000.Doc"));
        QCOMPARE(readText(kept), QStringLiteral("未能写入服务器的修改"));
        QCOMPARE(mMessages.lastText(), QStringLiteral("您的修改已另存为“%1”。").arg(QDir::toNativeSeparators(kept)));
    }

    // An imported template reaches the other program when it shows the category's template.
    void importedTemplateIsShared() {
        use(*mFirst);
        const QString source = mFirst->file(QStringLiteral("Bak/导入.doc"));
        QVERIFY(writeFile(source, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 imported", 17)));
        QCOMPARE(TemplateImport::importFile(Code, source), QString());
        use(*mSecond);
        QCOMPARE(DocumentPaths::documentToShow(Code), DocumentPaths::templateFile(Code));
        QCOMPARE(readFile(DocumentPaths::templateFile(Code)), readFile(source));
    }

    // A batch makes the document from the template the server has and writes it there; another program's batch
    // then finds it and leaves it alone.
    void batchWorksOnTheServersDocuments() {
        use(*mFirst);
        addRecordWithTemplate(*mFirst);
        const auto standIn = [] { return std::unique_ptr<WordApp>(new StandInWordApp); };
        QList<BatchGeneration::Result> made = BatchGeneration::runAll(mFirst->database(), {7}, {}, standIn, 1, {});
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first().kind, BatchGeneration::Result::Kind::Generated);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>(QStringLiteral("甲方张三").toUtf8()));

        use(*mSecond);
        made = BatchGeneration::runAll(mFirst->database(), {7}, {}, standIn, 1, {});
        QCOMPARE(made.size(), 1);
        QCOMPARE(made.first().kind, BatchGeneration::Result::Kind::Skipped);
        QCOMPARE(readText(mSecond->file(Doc)), QStringLiteral("甲方张三"));
    }

    // The contract document window of the second program: its save is told, the first's document stays on the
    // server, the user's own is kept aside, and on "yes" the first's is loaded.
    void documentWindowIsToldAndKeepsTheUsersDocument() {
        use(*mFirst);
        addRecordWithTemplate(*mFirst);

        StandInWordApp firstWord;
        ContractDocument first(firstWord, Code, DocumentPaths::contractFile(7), 7);
        // Made from the template fetched from the server, and written back there.
        QCOMPARE(first.prepare(), ContractDocument::Preparation::Generated);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>(QStringLiteral("甲方张三").toUtf8()));

        use(*mSecond);
        StandInWordApp secondWord;
        ContractDocument second(secondWord, Code, DocumentPaths::contractFile(7), 7);
        QCOMPARE(second.prepare(), ContractDocument::Preparation::Opened);
        QCOMPARE(secondWord.text(), QStringLiteral("甲方张三"));

        use(*mFirst);
        firstWord.setText(QStringLiteral("第一位用户的修改"));
        QVERIFY(first.save());

        use(*mSecond);
        secondWord.setText(QStringLiteral("第二位用户的修改"));
        mMessages.clear();
        mMessages.answerQuestion(true);
        QVERIFY(!second.save());
        const QString kept = mSecond->file(QStringLiteral("Bak/7_本机修改_20260307_093000.Doc"));
        QCOMPARE(
            mMessages.texts(),
            QStringList{QStringLiteral("该合同文档在您打开之后已经被其他用户修改并保存，您的修改没有保存到服务器。\n"
                                       "您的修改已另存为“%1”。\n是否载入其他用户保存的合同文档？")
                            .arg(QDir::toNativeSeparators(kept))});
        QCOMPARE(readText(kept), QStringLiteral("第二位用户的修改"));
        QCOMPARE(onServer(Doc), std::optional<QByteArray>(QStringLiteral("第一位用户的修改").toUtf8()));
        QCOMPARE(secondWord.text(), QStringLiteral("第一位用户的修改"));
        QVERIFY(!second.saved());

        // Declined: the user's document stays open and unsaved; closing neither asks again nor keeps it twice.
        secondWord.setText(QStringLiteral("第二位用户再次修改"));
        use(*mFirst);
        firstWord.setText(QStringLiteral("第一位用户再次修改"));
        QVERIFY(first.save());
        use(*mSecond);
        mMessages.clear();
        mMessages.answerQuestion(false);
        QVERIFY(!second.save());
        QCOMPARE(mMessages.texts().size(), 1);
        QCOMPARE(secondWord.text(), QStringLiteral("第二位用户再次修改"));
        QVERIFY(second.canClose());
        second.close();
        QCOMPARE(mMessages.texts().size(), 1);
        QCOMPARE(QDir(mSecond->file(QStringLiteral("Bak"))).entryList(QDir::Files).size(), 2);
        QCOMPARE(onServer(Doc), std::optional<QByteArray>(QStringLiteral("第一位用户再次修改").toUtf8()));
        use(*mFirst);
        first.close();
    }
};

QTEST_GUILESS_MAIN(TestSharedDocuments)
#include "tst_shareddocuments.moc"
