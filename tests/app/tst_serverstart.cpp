#include "app/ServerLogin.h"
#include "contracts/ContractEntry.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"
#include "support/PrivateCluster.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// The program on a server of its own: the password asked at start, and the server going away under it. The
// cluster is private to this test, so stopping it hurts no other test.
class TestServerStart : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateCluster> mCluster;
    ScriptedMessages mMessages;

    // An application folder whose Server.ini names the user's database on the private cluster.
    static bool layOut(const QTemporaryDir &dir, const ServerSettings &settings) {
        return Schema::layOutAppFolder(dir.path()) && settings.write(dir.path());
    }

    static qsizetype rows(const QString &table) {
        return Database::instance().GetDataBySQL(u"SELECT count(*) FROM "_s + table).toLongLong();
    }

private Q_SLOTS:
    void initTestCase() {
        mCluster = std::make_unique<PrivateCluster>();
        if (!mCluster->unavailableReason().isEmpty())
            QSKIP(qPrintable(mCluster->unavailableReason()));
        QVERIFY(mCluster->addPasswordUser(u"clerk"_s, u"secret"_s));
        QVERIFY(mCluster->addPasswordUser(u"newcomer"_s, u"fresh"_s));
        ServerSettings clerk = mCluster->settings(u"clerk"_s, u"clerk"_s);
        clerk.password = u"secret"_s;
        QString error;
        {
            QSqlDatabase db = Database::openServer(clerk, u"schema"_s, &error);
            QVERIFY2(db.isOpen() && Schema::create(db, &error), qPrintable(error));
            db.close();
        }
        QSqlDatabase::removeDatabase(u"schema"_s);
        Messages::setInstance(&mMessages);
    }
    void init() { mMessages.clear(); }
    void cleanup() { Database::destroy(); }
    void cleanupTestCase() {
        Messages::setInstance(nullptr);
        mCluster.reset();
    }

    void wrongPasswordOrClosedPortThenQuit_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << 0 << u"Secret"_s << u"password authentication failed"_s;
        QTest::newRow("nobody listening") << 1 << u"secret"_s << u"127.0.0.1"_s;
    }
    void wrongPasswordOrClosedPortThenQuit() {
        QFETCH(int, port);
        QFETCH(QString, password);
        QFETCH(QString, reason);
        ServerSettings settings = mCluster->settings(u"clerk"_s, u"clerk"_s);
        if (port)
            settings.port = port;
        QTemporaryDir dir;
        QVERIFY(layOut(dir, settings));
        mMessages.answerPassword(password);
        mMessages.answerQuestion(false);
        QVERIFY(!ServerLogin::openServerAtStart(dir.path()));
        // Quitting leaves no database open: the embedded file beside it is never used instead.
        QVERIFY(!Database::exists());
        QCOMPARE(mMessages.shown().size(), 2);
        QCOMPARE(mMessages.shown().at(0).kind, ScriptedMessages::Kind::Password);
        QVERIFY(mMessages.shown().at(0).text.contains(u"数据库：clerk"_s));
        const QString failure = mMessages.shown().at(1).text;
        QVERIFY2(failure.startsWith(u"无法连接数据库服务器！\n服务器的回答："_s) && failure.contains(reason),
                 qPrintable(failure));
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void incompleteSettingsStopTheStart() {
        QTemporaryDir dir;
        QVERIFY(Schema::layOutAppFolder(dir.path()));
        QVERIFY(!ServerLogin::settingsIncomplete(dir.path()));
        QVERIFY(mMessages.shown().isEmpty());
        ServerSettings nameless = mCluster->settings(QString(), u"clerk"_s);
        QVERIFY(nameless.write(dir.path()));
        QVERIFY(ServerLogin::settingsIncomplete(dir.path()));
        QVERIFY(mMessages.lastText().startsWith(u"服务器连接设置（DB/Server.ini）中缺少服务器地址或数据库名"_s));
        QVERIFY(!Database::exists());
    }

    void tryAgainWithTheRightPassword() {
        QTemporaryDir dir;
        QVERIFY(layOut(dir, mCluster->settings(u"clerk"_s, u"clerk"_s)));
        mMessages.answerPassword(u"wrong"_s);
        mMessages.answerQuestion(true);
        mMessages.answerPassword(u"secret"_s);
        const std::unique_ptr<Database> database = ServerLogin::openServerAtStart(dir.path());
        QVERIFY(database);
        QCOMPARE(database->backend(), Database::Backend::Server);
        QVERIFY(database->isConnected());
        QCOMPARE(database->readLogPass(), u"579"_s);
        QCOMPARE(mMessages.shown().size(), 3);
        QCOMPARE(mMessages.unexpected(), 0);
        // The password lives in memory only.
        QFile ini(dir.filePath(ServerSettings::File));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("secret"));
    }

    void databaseWithoutTablesIsSaidAtStart() {
        QTemporaryDir dir;
        QVERIFY(layOut(dir, mCluster->settings(u"newcomer"_s, u"newcomer"_s)));
        mMessages.answerPassword(u"fresh"_s);
        QVERIFY(ServerLogin::openServerAtStart(dir.path()));
        QVERIFY(mMessages.lastText().contains(u"还没有数据表"_s));
    }

    // The server stops while the program works, before a save or while its row is being written: the save fails
    // with a clear message and writes nothing; once the server is back the same entry saves without a restart.
    void serverStoppedAroundASave_data() {
        QTest::addColumn<bool>("whileWriting");
        QTest::newRow("before the save") << false;
        QTest::newRow("while the row is written") << true;
    }
    void serverStoppedAroundASave() {
        QFETCH(bool, whileWriting);
        QTemporaryDir dir;
        QVERIFY(layOut(dir, mCluster->settings(u"clerk"_s, u"clerk"_s)));
        QVERIFY(Database::create(dir.path(), u"secret"_s).isConnected());
        QSqlQuery q(Database::instance().connection());
        QVERIFY(q.exec(u"DROP TRIGGER IF EXISTS slow ON TContractMain"_s));
        QVERIFY(q.exec(u"DELETE FROM TContractMain"_s) && q.exec(u"DELETE FROM TDataPara"_s) &&
                q.exec(u"DELETE FROM TContractClass"_s));
        QVERIFY(q.exec(u"INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES "
                       "('0001','根','',0),('00010001','租赁','0001',1)"_s));
        QVERIFY(q.exec(u"INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,SortIdx,DataFieldA) VALUES "
                       "('00010001','甲方',0,1,'Data1')"_s));
        if (whileWriting) {
            // The row waits on the server long enough for the server to be stopped under it.
            QVERIFY(q.exec(u"CREATE OR REPLACE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$ BEGIN PERFORM pg_sleep(5); RETURN NEW; END $$"_s));
            QVERIFY(
                q.exec(u"CREATE TRIGGER slow BEFORE INSERT ON TContractMain FOR EACH ROW EXECUTE FUNCTION slow()"_s));
        }
        ContractEntry entry(Database::instance(), -1, u"00010001"_s);
        QVERIFY(entry.load());
        entry.commitText(0, u"某某公司"_s);

        // Back also when a check below fails, for the tests after this one.
        auto resumeAtEnd = qScopeGuard([this] { mCluster->resume(); });
        bool saved = true;
        if (whileWriting) {
            QVERIFY(mCluster->pauseDuring([&] { saved = entry.save(); }, 700));
        } else {
            QVERIFY(mCluster->pause());
            saved = entry.save();
        }
        QVERIFY(!saved);
        const QString told = mMessages.lastText();
        QVERIFY2(told.startsWith(u"无法连接数据库服务器！\n保存数据发生错误！\n"_s) &&
                     told.contains(u"服务器的回答："_s),
                 qPrintable(told));
        // Stopped under the running statement, the server ended the session; stopped before, it was not there.
        QVERIFY2(told.contains(whileWriting ? u"terminating connection"_s : u"Connection refused"_s), qPrintable(told));
        QVERIFY(Database::instance().connectionLost());

        resumeAtEnd.dismiss();
        QVERIFY(mCluster->resume());
        QTest::qWait(Database::ReconnectPauseMs);
        // Statements made before the connection was opened again are spent, as after any close.
        QSqlQuery after(Database::instance().connection());
        QCOMPARE(rows(u"TContractMain"_s), 0);
        QVERIFY(after.exec(u"DROP TRIGGER IF EXISTS slow ON TContractMain"_s));
        mMessages.clear();
        QVERIFY(entry.save());
        QVERIFY(mMessages.shown().isEmpty());
        QVERIFY(!Database::instance().connectionLost());
        QCOMPARE(rows(u"TContractMain"_s), 1);
        QCOMPARE(Database::instance().GetDataBySQL(u"SELECT Data1 FROM TContractMain"_s), u"某某公司"_s);
    }

    // The server goes away between two statements of one transaction and is back before the second: the second must
    // fail rather than go on in a new session, and the first is rolled back with the lost session.
    void serverRestartedInsideATransaction() {
        QTemporaryDir dir;
        QVERIFY(layOut(dir, mCluster->settings(u"clerk"_s, u"clerk"_s)));
        QVERIFY(Database::create(dir.path(), u"secret"_s).isConnected());
        const QString insert =
            u"INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,'',0)"_s;
        bool secondWritten = true;
        const bool committed = Database::instance().inTransaction([&] {
            QSqlQuery first(Database::instance().connection());
            if (!execBound(first, insert, {u"0091"_s, u"一"_s}) || !mCluster->pause() || !mCluster->resume())
                return false;
            QSqlQuery second(Database::instance().connection());
            secondWritten = execBound(second, insert, {u"0092"_s, u"二"_s});
            return secondWritten;
        });
        QVERIFY(!committed);
        QVERIFY(!secondWritten);
        QCOMPARE(Database::instance().GetDataBySQL(
                     u"SELECT count(*) FROM TContractClass WHERE TypeCode IN ('0091','0092')"_s),
                 u"0"_s);
    }
};

QTEST_GUILESS_MAIN(TestServerStart)
#include "tst_serverstart.moc"
