#include "admin/AdminFixture.h"
#include "app/admin/RebuildDialog.h"
#include "app/admin/SystemRebuild.h"
#include "platform/ScriptedMessages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "support/TempAppFolder.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

using namespace AdminFixture;

namespace {
const QString Confirm = QStringLiteral("系统重建将清除所有数据，请确认您已经备份了数据库，是否继续？");
const QString NothingChosen = QStringLiteral("至少需要选择一项清除项目！");
const QString Done = QStringLiteral("系统重建完成！");
const QString Failed = QStringLiteral("系统重建失败：数据库中的数据未能全部清除！\n"
                                      "未清除的合同记录和合同类别，其合同文档和模板文件都已保留。");

int count(TempAppFolder &app, const char *table) {
    return app.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))).toInt();
}

bool exists(TempAppFolder &app, const char *relative) {
    return QFileInfo::exists(app.file(QString::fromUtf8(relative)));
}
} // namespace

class TestRebuild : public QObject {
    Q_OBJECT
private:
    ScriptedMessages mMessages;

private Q_SLOTS:
    void init() {
        Messages::setInstance(&mMessages);
        mMessages.clear();
    }

    void checkBoxesAreCoupled() {
        TempAppFolder app;
        RebuildDialog dialog(Database::instance(), {});
        QVERIFY(!dialog.clearRecordsCheck->isChecked() && !dialog.clearBasicsCheck->isChecked());

        dialog.clearBasicsCheck->click();
        QVERIFY(dialog.clearRecordsCheck->isChecked() && dialog.clearBasicsCheck->isChecked());
        dialog.clearRecordsCheck->click();
        QVERIFY(!dialog.clearRecordsCheck->isChecked() && !dialog.clearBasicsCheck->isChecked());
        // Business data alone stays alone; unticking the basic information leaves the business data ticked.
        dialog.clearRecordsCheck->click();
        QVERIFY(dialog.clearRecordsCheck->isChecked() && !dialog.clearBasicsCheck->isChecked());
        dialog.clearBasicsCheck->click();
        dialog.clearBasicsCheck->click();
        QVERIFY(dialog.clearRecordsCheck->isChecked() && !dialog.clearBasicsCheck->isChecked());
    }

    void nothingChosenOrNoStopsBeforeAnything_data() {
        QTest::addColumn<bool>("tick");
        QTest::newRow("no box ticked") << false;
        QTest::newRow("answered No") << true;
    }
    void nothingChosenOrNoStopsBeforeAnything() {
        QFETCH(bool, tick);
        TempAppFolder app;
        QVERIFY(fillSample(app));
        int closed = 0;
        RebuildDialog dialog(Database::instance(), [&] { ++closed; });
        if (tick)
            dialog.clearBasicsCheck->click();
        mMessages.answerQuestion(false);
        dialog.show();
        dialog.rebuildButton->click();
        QCOMPARE(mMessages.texts(), tick ? QStringList{Confirm} : QStringList{NothingChosen});
        QVERIFY(dialog.isVisible());
        QCOMPARE(closed, 0);
        QCOMPARE(count(app, "TContractMain"), 3);
        QVERIFY(exists(app, "DB/ContractFile/1.Doc"));
    }

    void rebuildClearsWhatWasChosen_data() {
        QTest::addColumn<bool>("basic");
        QTest::newRow("business data only") << false;
        QTest::newRow("basic information too") << true;
    }
    void rebuildClearsWhatWasChosen() {
        QFETCH(bool, basic);
        TempAppFolder app;
        QVERIFY(fillSample(app));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/说明.txt")), "beside the database"));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/锁定.Doc")), "locked"));
        QVERIFY(QFile::setPermissions(app.file(QStringLiteral("DB/ContractFile/锁定.Doc")), QFile::ReadOwner));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/ModelFiles/sub/old.Doc")), "older template"));

        // The open register still shows records when it is asked to close: closing comes before deleting.
        int recordsWhenClosed = -1;
        RebuildDialog dialog(Database::instance(), [&] { recordsWhenClosed = count(app, "TContractMain"); });
        (basic ? dialog.clearBasicsCheck : dialog.clearRecordsCheck)->click();
        mMessages.answerQuestion(true);
        dialog.show();
        dialog.rebuildButton->click();

        QCOMPARE(mMessages.texts(), QStringList({Confirm, Done}));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(recordsWhenClosed, 3);
        QCOMPARE(count(app, "TContractMain"), 0);
        QCOMPARE(count(app, "TContractClass"), basic ? 0 : 2);
        QCOMPARE(count(app, "TDataPara"), basic ? 0 : 2);
        QCOMPARE(Database::instance().readLogPass(), std::optional<QString>(QStringLiteral("秘密123")));

        QVERIFY(!exists(app, "DB/ContractFile/1.Doc"));
        QVERIFY(!exists(app, "DB/ContractFile/存档/旧合同.Doc"));
        QVERIFY(QFileInfo(app.file(QStringLiteral("DB/ContractFile/存档"))).isDir());
        QVERIFY(exists(app, "DB/ContractFile/锁定.Doc"));
        QCOMPARE(exists(app, "DB/ModelFiles/00010001.Doc"), !basic);
        QCOMPARE(exists(app, "DB/ModelFiles/sub/old.Doc"), !basic);
        QVERIFY(QFileInfo(app.file(QStringLiteral("DB/ModelFiles/sub"))).isDir());
        for (const char *kept : {"DB/ZYDB.dat", "DB/Empty.Doc", "DB/说明.txt"})
            QVERIFY2(exists(app, kept), kept);
    }

    // The history describes the contracts being emptied: the rebuild says it goes too and asks, and a No keeps it.
    void rebuildAsksBeforeEmptyingTheHistory_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered Yes") << true;
        QTest::newRow("answered No") << false;
    }
    void rebuildAsksBeforeEmptyingTheHistory() {
        QFETCH(bool, yes);
        TempAppFolder app;
        QVERIFY(fillSample(app));
        QVERIFY(Database::instance().inTransaction([] {
            return ChangeHistory::record({1, QStringLiteral("00010001"), ChangeHistory::Changed, {}, {}, {}});
        }));
        RebuildDialog dialog(Database::instance(), {});
        dialog.clearRecordsCheck->click();
        mMessages.answerQuestion(true);
        mMessages.answerQuestion(yes);
        dialog.rebuildButton->click();
        const QString history = QStringLiteral("系统重建将同时清空全部合同的修改记录，清空后无法恢复，是否继续？");
        QCOMPARE(mMessages.texts(), yes ? QStringList({Confirm, history, Done}) : QStringList({Confirm, history}));
        QCOMPARE(count(app, "TChangeLog"), yes ? 0 : 1);
        QCOMPARE(count(app, "TContractMain"), yes ? 0 : 3);
    }

    // On a shared server the documents go from the server with their rows, not only from this program's copies.
    void rebuildClearsTheServersDocuments_data() {
        QTest::addColumn<bool>("basic");
        QTest::newRow("business data only") << false;
        QTest::newRow("basic information too") << true;
    }
    void rebuildClearsTheServersDocuments() {
        QFETCH(bool, basic);
        const QString why = TempAppFolder::serverUnavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        TempAppFolder::useStore(TempAppFolder::Store::Server);
        const auto embedded = qScopeGuard([] { TempAppFolder::useStore(TempAppFolder::Store::Embedded); });
        TempAppFolder app;
        QVERIFY(fillSample(app));
        const QString model = QStringLiteral("DB/ModelFiles/00010001.Doc");
        const QString contract = QStringLiteral("DB/ContractFile/1.Doc");
        for (const QString &relative : {model, contract})
            QCOMPARE(DocumentStore::put(relative), DocumentStore::Outcome::Done);

        QVERIFY(SystemRebuild::run(Database::instance(), SystemRebuild::rebuildStatements(), basic, {}));
        QVERIFY(!DocumentStore::exists(contract));
        QCOMPARE(DocumentStore::exists(model), !basic);
    }

    // When the tables are not emptied the rebuild says so, and no document whose record (or template whose
    // category) is still there is deleted.
    void failedRebuildKeepsTheDocumentsOfWhatStayed_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("basic");
        QTest::addColumn<bool>("contractDocumentsGone");
        QTest::newRow("database not open") << QString() << true << false;
        QTest::newRow("records cannot be deleted") << QStringLiteral("TContractMain") << false << false;
        QTest::newRow("records cannot be deleted, basic too") << QStringLiteral("TContractMain") << true << false;
        QTest::newRow("categories cannot be deleted") << QStringLiteral("TContractClass") << true << true;
    }
    void failedRebuildKeepsTheDocumentsOfWhatStayed() {
        QFETCH(QString, fault);
        QFETCH(bool, basic);
        QFETCH(bool, contractDocumentsGone);
        TempAppFolder app;
        QVERIFY(fillSample(app));
        if (fault.isEmpty()) {
            Database::instance().close();
        } else {
            QVERIFY(
                app.exec(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON %1 BEGIN SELECT RAISE(ABORT, 'in use'); "
                                        "END")
                             .arg(fault)));
        }

        RebuildDialog dialog(Database::instance(), {});
        (basic ? dialog.clearBasicsCheck : dialog.clearRecordsCheck)->click();
        mMessages.answerQuestion(true);
        dialog.show();
        dialog.rebuildButton->click();

        QCOMPARE(mMessages.texts(), QStringList({Confirm, Failed}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(exists(app, "DB/ContractFile/1.Doc"), !contractDocumentsGone);
        QCOMPARE(exists(app, "DB/ContractFile/存档/旧合同.Doc"), !contractDocumentsGone);
        QVERIFY(exists(app, "DB/ModelFiles/00010001.Doc"));
        if (!fault.isEmpty()) {
            QCOMPARE(count(app, "TContractMain"), contractDocumentsGone ? 0 : 3);
            QCOMPARE(count(app, "TContractClass"), 2);
        }
    }

    void failingStatementIsSkippedAndNothingDangles() {
        TempAppFolder app;
        QVERIFY(fillSample(app));
        // A statement that fails does not stop the others.
        SystemRebuild::runStatements(Database::instance(),
                                     {QStringLiteral("Delete from TMissing"), QStringLiteral("B_Delete from TDataPara"),
                                      QStringLiteral("Delete from TContractDetail")},
                                     1);
        QCOMPARE(count(app, "TDataPara"), 0);

        // Without the records' delete the categories are still in use: they stay, and no record loses its category.
        SystemRebuild::runStatements(
            Database::instance(),
            {QStringLiteral("B_Delete from TContractClass"), QStringLiteral("Delete from TContractDetail")}, 1);
        QCOMPARE(count(app, "TContractClass"), 2);
        QCOMPARE(count(app, "TContractMain"), 3);
        QSqlQuery q(Database::instance().connection());
        QVERIFY(q.exec(QStringLiteral("PRAGMA foreign_key_check")));
        QVERIFY(!q.next());
    }

    void clearFolderPassesOverFilesThatCannotGo() {
        TempAppFolder app;
        QVERIFY(fillSample(app));
        QStringList tried;
        SystemRebuild::clearFolder(app.file(QStringLiteral("DB/ContractFile/")), [&](const QString &file) {
            tried << QFileInfo(file).fileName();
            // An open document cannot be deleted; the others still go.
            return QFileInfo(file).fileName() == QLatin1String("1.Doc") ? false : QFile::remove(file);
        });
        tried.sort();
        QCOMPARE(tried, QStringList({QStringLiteral("1.Doc"), QStringLiteral("2.Doc"), QStringLiteral("旧合同.Doc")}));
        QVERIFY(exists(app, "DB/ContractFile/1.Doc"));
        QVERIFY(!exists(app, "DB/ContractFile/2.Doc"));
    }
};

QTEST_MAIN(TestRebuild)
#include "tst_rebuild.moc"
