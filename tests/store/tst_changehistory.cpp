#include "platform/Clock.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// The history table as the schema upgrade brings it to an older database, and the server's trigger that records
// writes made by other programs.
class TestChangeHistory : public BothStoresTest {
    Q_OBJECT

    // A category with two text indicators and one record.
    static bool addRecord(TempAppFolder &app) {
        return app.addCategory(QStringLiteral("0001"), QStringLiteral("根")) &&
               app.addCategory(QStringLiteral("00010001"), QStringLiteral("租赁"), QStringLiteral("0001")) &&
               app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) >
                   0 &&
               app.addIndicator(QStringLiteral("00010001"), QStringLiteral("金额"), 1, QStringLiteral("Data2"), 2) >
                   0 &&
               app.exec(QStringLiteral("INSERT INTO TContractMain (ID, MainTypeCode, Data1, Data2) "
                                       "VALUES (7, '00010001', '甲公司', '100')"));
    }

private Q_SLOTS:
    // A database of the version before the history (the due reminders' version) gains the table on open.
    void olderDatabaseIsUpgradedOnOpen() {
        TempAppFolder app(false, 2);
        QVERIFY(app.isValid());
        for (int open = 0; open < 2; ++open) {
            Database &dm = Database::create(app.path());
            QVERIFY2(dm.isConnected(), qPrintable(dm.connectionError()));
            QCOMPARE(Schema::version(dm.connection()), Schema::Version);
            if (open == 0)
                QVERIFY(addRecord(app));
            QCOMPARE(app.joined(QStringLiteral("SELECT Data1 || '/' || Data2 FROM TContractMain")),
                     QStringLiteral("甲公司/100"));
            QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TChangeLog")), QStringLiteral("0"));
        }
        QVERIFY(Database::instance().inTransaction([] {
            return ChangeHistory::record(
                {7,
                 QStringLiteral("00010001"),
                 ChangeHistory::Changed,
                 {{QStringLiteral("甲方"), QStringLiteral("甲公司"), QStringLiteral("乙公司")}},
                 {},
                 {}});
        }));
        QCOMPARE(app.scalar(QStringLiteral("SELECT Action FROM TChangeLog WHERE RecordID=7")), ChangeHistory::Changed);
    }

    // A table of values the history must give back exactly as written.
    void changesRoundTrip_data() {
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("newValue");
        QTest::newRow("plain") << QStringLiteral("甲公司") << QStringLiteral("乙公司");
        QTest::newRow("empty to value") << QString() << QStringLiteral("1,000.00");
        QTest::newRow("quotes, tabs, lines") << QStringLiteral("a\"b\tc\nd") << QStringLiteral("[\"x\"]\\");
        QTest::newRow("arrow and colon") << QStringLiteral("A → B") << QStringLiteral("名：值");
        QTest::newRow("control characters") << QStringLiteral("\x01\x1f\b\f\r") << QStringLiteral("a\x7f\x0b");
        QTest::newRow("lone surrogates") << QString(QChar(0xD800)) + u'x' << u'y' + QString(QChar(0xDC01));
        QTest::newRow("beyond the basic plane") << QStringLiteral("😀𠀀") << QStringLiteral("\U0010FFFF");
    }
    void changesRoundTrip() {
        QFETCH(QString, oldValue);
        QFETCH(QString, newValue);
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(addRecord(app));
        const QList<ChangeHistory::Change> changes{{QStringLiteral("甲方"), oldValue, newValue}};
        FixedClock clock(QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9)));
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        QVERIFY(Database::instance().inTransaction([&] {
            return ChangeHistory::record({7, QStringLiteral("00010001"), ChangeHistory::Changed, changes, {}, {}});
        }));
        ChangeHistory::Filter filter;
        filter.recordId = 7;
        const std::optional<QList<ChangeHistory::Row>> rows = ChangeHistory::read(filter);
        QVERIFY(rows && rows->size() == 1);
        QCOMPARE(rows->first().changes, changes);
        QCOMPARE(app.scalar(QStringLiteral("SELECT ChangeTime FROM TChangeLog WHERE RecordID=7")),
                 QStringLiteral("2026-03-05 07:08:09"));
        // Stored as the JSON text the history has always held.
        QCOMPARE(app.scalar(QStringLiteral("SELECT Changes FROM TChangeLog WHERE RecordID=7")),
                 QString::fromUtf8(QJsonDocument(QJsonArray{QJsonArray{changes.first().indicator, oldValue, newValue}})
                                       .toJson(QJsonDocument::Compact)));
        QCOMPARE(rows->first().categoryName, QStringLiteral("租赁"));
        QCOMPARE(rows->first().osUser, ChangeHistory::osUser());
        QVERIFY(!rows->first().outside);
    }

    // "检查合同文档": a document as the program wrote it, changed afterwards, never written by it, or gone.
    void documentDigestCheck_data() {
        QTest::addColumn<QString>("afterWrite");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("told");
        using O = ChangeHistory::DocumentCheck::Outcome;
        QTest::newRow("unchanged") << "" << int(O::Unchanged) << "没有被修改过";
        QTest::newRow("changed afterwards") << "change" << int(O::Changed) << "已被修改";
        QTest::newRow("saved again by the program") << "change and save" << int(O::Unchanged) << "没有被修改过";
        QTest::newRow("never written by the program") << "forget" << int(O::NeverWritten) << "没有本程序写入";
        QTest::newRow("deleted") << "delete" << int(O::Missing) << "无法读取";
    }
    void documentDigestCheck() {
        QFETCH(QString, afterWrite);
        QFETCH(int, outcome);
        QFETCH(QString, told);
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(addRecord(app));
        const QString path = app.file(QStringLiteral("DB/ContractFile/7.docx"));
        auto write = [&](const QByteArray &bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write("first"));
        QVERIFY(ChangeHistory::recordDocument(7, QString(), ChangeHistory::DocumentGenerated, path));
        if (afterWrite.startsWith(QLatin1String("change")))
            QVERIFY(write("second"));
        if (afterWrite == QLatin1String("change and save"))
            QVERIFY(ChangeHistory::recordDocument(7, QString(), ChangeHistory::DocumentSaved, path));
        if (afterWrite == QLatin1String("forget"))
            QVERIFY(app.exec(QStringLiteral("DELETE FROM TChangeLog")));
        if (afterWrite == QLatin1String("delete"))
            QVERIFY(QFile::remove(path));

        const ChangeHistory::DocumentCheck check = ChangeHistory::checkDocument(path);
        QCOMPARE(int(check.outcome), outcome);
        const QString text = ChangeHistory::describe(check, path);
        QVERIFY2(text.contains(told), qPrintable(text));
        if (check.lastWrite) {
            QCOMPARE(check.lastWrite->documentFile, QStringLiteral("DB/ContractFile/7.docx"));
            QCOMPARE(check.lastWrite->category, QStringLiteral("00010001"));
            QVERIFY(text.contains(check.lastWrite->time));
            QVERIFY(text.contains(ChangeHistory::osUser()));
        }
    }

    // Another program (psql, a script) writing the records directly is recorded by the server itself, marked as
    // such; the program's own writes are left to the program and so are recorded once.
    // On a database upgraded from the version before, so that the upgrade is seen to bring the trigger too.
    void outsideWritesAreRecordedOnTheServer() {
        if (TempAppFolder::store() != TempAppFolder::Store::Server)
            QSKIP("the embedded file has no other writers to record");
        TempAppFolder app(false, 2);
        QVERIFY(app.isValid());
        QVERIFY(Database::create(app.path()).isConnected());
        QVERIFY(addRecord(app));
        // The program's own write through its connection: no row from the trigger.
        QVERIFY(app.exec(QStringLiteral("UPDATE TContractMain SET Data1='乙公司' WHERE ID=7")));
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TChangeLog")), QStringLiteral("0"));

        const std::optional<ServerSettings> settings = ServerSettings::read(app.path());
        QVERIFY(settings);
        {
            // Not opened through the program's own session set-up.
            QSqlDatabase outside = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("outside"));
            outside.setHostName(settings->host);
            outside.setPort(settings->port);
            outside.setDatabaseName(settings->database);
            outside.setUserName(settings->user);
            QVERIFY2(outside.open(), qPrintable(outside.lastError().text()));
            QSqlQuery q(outside);
            QVERIFY2(q.exec(QStringLiteral("UPDATE TContractMain SET Data2='250' WHERE ID=7")),
                     qPrintable(q.lastError().text()));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO TContractMain (ID, MainTypeCode, Data1) "
                                          "VALUES (8, '00010001', '丙公司')")));
            QVERIFY(q.exec(QStringLiteral("DELETE FROM TContractMain WHERE ID=8")));
            outside.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("outside"));

        const std::optional<QList<ChangeHistory::Row>> rows = ChangeHistory::read({});
        QVERIFY(rows);
        QCOMPARE(rows->size(), 3);
        struct Expected {
            qint64 record;
            QString action;
            QList<ChangeHistory::Change> changes;
        };
        // Newest first.
        const QList<Expected> expected{
            {8, ChangeHistory::Deleted, {{QStringLiteral("甲方"), QStringLiteral("丙公司"), QString()}}},
            {8, ChangeHistory::Created, {{QStringLiteral("甲方"), QString(), QStringLiteral("丙公司")}}},
            {7, ChangeHistory::Changed, {{QStringLiteral("金额"), QStringLiteral("100"), QStringLiteral("250")}}},
        };
        for (int i = 0; i < 3; ++i) {
            const ChangeHistory::Row &row = rows->at(i);
            QVERIFY(row.outside);
            QCOMPARE(row.recordId, expected.at(i).record);
            QCOMPARE(row.action, expected.at(i).action);
            QCOMPARE(row.changes, expected.at(i).changes);
            QCOMPARE(row.dbUser, settings->user);
            QCOMPARE(row.category, QStringLiteral("00010001"));
        }
    }
};

QTEST_GUILESS_MAIN(TestChangeHistory)
#include "tst_changehistory.moc"
