#include "app/admin/ServerConnection.h"
#include "app/admin/TfrmServerConnection.h"
#include "platform/ScriptedMessages.h"
#include "store/Schema.h"
#include "store/TDM.h"
#include "support/PrivateCluster.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// "服务器连接设置" against a server that checks passwords (a private cluster: the shared one trusts everyone).
class TestServerConnection : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateCluster> mCluster;
    ScriptedMessages mMessages;
    QTemporaryDir mDir;

    ServerSettings clerk(const QString &password = u"secret"_s) const {
        ServerSettings s = mCluster->settings(u"clerk"_s, u"clerk"_s);
        s.password = password;
        return s;
    }
    QString iniText() const {
        QFile ini(QDir(mDir.path()).filePath(ServerSettings::File));
        return ini.open(QIODevice::ReadOnly) ? QString::fromUtf8(ini.readAll()) : QString();
    }
    bool clerkHasTables() const {
        QString error;
        bool has = false;
        {
            QSqlDatabase db = TDM::openServer(clerk(), u"check"_s, &error);
            has = db.isOpen() && Schema::hasTables(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(u"check"_s);
        return has;
    }

private Q_SLOTS:
    void initTestCase() {
        mCluster = std::make_unique<PrivateCluster>();
        if (!mCluster->unavailableReason().isEmpty())
            QSKIP(qPrintable(mCluster->unavailableReason()));
        QVERIFY(mCluster->addPasswordUser(u"clerk"_s, u"secret"_s));
        QVERIFY(Schema::layOutAppFolder(mDir.path()));
    }
    void init() {
        mMessages.clear();
        QVERIFY(ServerSettings::remove(mDir.path()));
    }
    void cleanupTestCase() { mCluster.reset(); }

    void testConnection_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("reason");
        const QString failed = u"无法连接数据库服务器！\n服务器的回答："_s;
        QTest::newRow("right password, no tables yet")
            << u"clerk"_s << 0 << u"secret"_s << true << u"连接数据库服务器成功！\n这个数据库还没有数据表"_s << "";
        QTest::newRow("wrong password") << u"clerk"_s << 0 << u"secret2"_s << false << failed
                                        << "password authentication failed";
        QTest::newRow("nobody listening") << u"clerk"_s << 1 << u"secret"_s << false << failed << "refused";
        QTest::newRow("no database named") << u" "_s << 0 << u"secret"_s << false << u"请输入数据库名！"_s << "";
    }
    void testConnection() {
        QFETCH(QString, database);
        QFETCH(int, port);
        QFETCH(QString, password);
        QFETCH(bool, connected);
        QFETCH(QString, told);
        QFETCH(QString, reason);
        ServerConnection logic(mDir.path(), mMessages);
        logic.settings = clerk(password);
        logic.settings.database = database;
        if (port)
            logic.settings.port = port;
        QCOMPARE(logic.testConnection(), connected);
        QCOMPARE(mMessages.shown().size(), 1);
        QVERIFY2(mMessages.lastText().startsWith(told) && mMessages.lastText().contains(reason),
                 qPrintable(mMessages.lastText()));
        // Testing writes nothing.
        QVERIFY(!logic.configured());
    }

    // Asked first; made once; a database that has the tables is refused.
    void tablesCreatedOnceAfterAsking() {
        ServerConnection logic(mDir.path(), mMessages);
        logic.settings = clerk();
        mMessages.answerQuestion(false);
        QVERIFY(!logic.createTables());
        QVERIFY(!clerkHasTables());
        mMessages.answerQuestion(true);
        QVERIFY(logic.createTables());
        QCOMPARE(mMessages.lastText(), u"数据表建立成功！"_s);
        QVERIFY(clerkHasTables());
        QVERIFY(logic.testConnection());
        QCOMPARE(mMessages.lastText(), u"连接数据库服务器成功！"_s);
        QVERIFY(!logic.createTables());
        QCOMPARE(mMessages.lastText(), u"这个数据库中已经有本系统的数据表，不能再次建立！"_s);
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void saveWritesNoPasswordAndEmbeddedRemovesAfterAsking() {
        ServerConnection logic(mDir.path(), mMessages);
        logic.settings = clerk(u"Geheim42"_s);
        logic.settings.host = u" 127.0.0.1 "_s;
        QVERIFY(logic.save());
        QVERIFY(mMessages.lastText().contains(u"下次启动程序时生效"_s));
        QVERIFY(!iniText().contains(u"Geheim42"_s));
        const std::optional<ServerSettings> stored = ServerSettings::read(mDir.path());
        QVERIFY(stored);
        QCOMPARE(stored->host, u"127.0.0.1"_s);
        QCOMPARE(stored->port, mCluster->port());
        QCOMPARE(stored->database, u"clerk"_s);
        QCOMPARE(stored->user, u"clerk"_s);
        QVERIFY(stored->password.isEmpty());

        // The dialog opens on what was saved, without a password.
        ServerConnection reopened(mDir.path(), mMessages);
        QVERIFY(reopened.configured());
        QCOMPARE(reopened.settings.port, mCluster->port());
        QVERIFY(reopened.settings.password.isEmpty());

        mMessages.answerQuestion(false);
        QVERIFY(!reopened.useEmbedded());
        QVERIFY(reopened.configured());
        mMessages.answerQuestion(true);
        QVERIFY(reopened.useEmbedded());
        QVERIFY(!reopened.configured());
        QVERIFY(QFile::exists(QDir(mDir.path()).filePath(TDM::DatabaseFile)));
        QCOMPARE(mMessages.lastText(), u"已改用本机的数据库文件，下次启动程序时生效。"_s);
        QCOMPARE(mMessages.unexpected(), 0);
    }

    // The window hands its fields to the logic: typed values are what is saved.
    void windowSavesWhatWasTyped() {
        TfrmServerConnection window(mDir.path(), mMessages);
        window.hostEdit->setText(u"db.example"_s);
        window.portEdit->setValue(6543);
        window.databaseEdit->setText(u"合同库"_s);
        window.userEdit->setText(u"clerk"_s);
        window.passwordEdit->setText(u"secret"_s);
        window.saveButton->click();
        const std::optional<ServerSettings> stored = ServerSettings::read(mDir.path());
        QVERIFY(stored);
        QCOMPARE(stored->host, u"db.example"_s);
        QCOMPARE(stored->port, 6543);
        QCOMPARE(stored->database, u"合同库"_s);
        QVERIFY(!iniText().contains(u"secret"_s));
    }
};

QTEST_MAIN(TestServerConnection)
#include "tst_serverconnection.moc"
