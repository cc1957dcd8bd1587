#include "app/admin/ServerConnection.h"
#include "app/admin/ServerConnectionDialog.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "support/PrivateCluster.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

// "服务器连接设置" against a server that checks passwords (a private cluster: the shared one trusts everyone) and
// encrypts with a certificate for "localhost" from an authority the test makes, and against a server without
// encryption.
class TestServerConnection : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateCluster> mCluster;
    std::unique_ptr<PrivateCluster> mPlainCluster;
    ScriptedMessages mMessages;
    QTemporaryDir mDir;
    QTemporaryDir mCertificates;

    QString certificate(const QString &name) const { return mCertificates.filePath(name); }
    bool openssl(const QStringList &arguments) const {
        QProcess p;
        p.setWorkingDirectory(mCertificates.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(u"openssl"_s, arguments);
        const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!done)
            qWarning("openssl %s: %s", qPrintable(arguments.join(u' ')), p.readAll().constData());
        return done;
    }
    // <name>.key and <name>.crt of a certificate authority.
    bool makeAuthority(const QString &name) const {
        return openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
                        u"-nodes"_s, u"-days"_s, u"30"_s, u"-subj"_s, u"/CN=Vantrel test authority "_s + name,
                        u"-keyout"_s, name + u".key"_s, u"-out"_s, name + u".crt"_s});
    }
    // server.key and server.crt for the host name "localhost", signed by the authority.
    bool makeServerCertificate(const QString &authority) const {
        QFile extensions(certificate(u"server.ext"_s));
        return extensions.open(QIODevice::WriteOnly) && extensions.write("subjectAltName=DNS:localhost\n") > 0 &&
               extensions.flush() &&
               openssl({u"req"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s,
                        u"-subj"_s, u"/CN=localhost"_s, u"-keyout"_s, u"server.key"_s, u"-out"_s, u"server.csr"_s}) &&
               openssl({u"x509"_s, u"-req"_s, u"-in"_s, u"server.csr"_s, u"-CA"_s, authority + u".crt"_s, u"-CAkey"_s,
                        authority + u".key"_s, u"-CAcreateserial"_s, u"-days"_s, u"30"_s, u"-extfile"_s,
                        u"server.ext"_s, u"-out"_s, u"server.crt"_s});
    }
    // Whether the server sees the connection of these settings encrypted; nullopt when it does not connect.
    static std::optional<bool> encrypted(const ServerSettings &settings) {
        std::optional<bool> result;
        {
            QString error;
            QSqlDatabase db = Database::openServer(settings, u"probe"_s, &error);
            QSqlQuery q(db);
            if (db.isOpen() && q.exec(u"SELECT ssl FROM pg_stat_ssl WHERE pid=pg_backend_pid()"_s) && q.next())
                result = q.value(0).toBool();
            q.clear();
            db.close();
        }
        QSqlDatabase::removeDatabase(u"probe"_s);
        return result;
    }

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
            QSqlDatabase db = Database::openServer(clerk(), u"check"_s, &error);
            has = db.isOpen() && Schema::hasTables(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(u"check"_s);
        return has;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(makeAuthority(u"right"_s) && makeAuthority(u"other"_s) && makeServerCertificate(u"right"_s));
        mCluster = std::make_unique<PrivateCluster>(
            QStringList{u"--tls"_s, certificate(u"server.crt"_s), certificate(u"server.key"_s)});
        if (!mCluster->unavailableReason().isEmpty())
            QSKIP(qPrintable(mCluster->unavailableReason()));
        QVERIFY(mCluster->addPasswordUser(u"clerk"_s, u"secret"_s));
        mPlainCluster = std::make_unique<PrivateCluster>(QStringList{u"--no-tls"_s});
        QVERIFY2(mPlainCluster->unavailableReason().isEmpty(), qPrintable(mPlainCluster->unavailableReason()));
        QVERIFY(Schema::layOutAppFolder(mDir.path()));
    }
    void init() {
        mMessages.clear();
        Messages::setInstance(&mMessages);
        QVERIFY(ServerSettings::remove(mDir.path()));
    }
    void cleanup() { Messages::setInstance(nullptr); }
    void cleanupTestCase() {
        mPlainCluster.reset();
        mCluster.reset();
    }

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
        ServerConnection logic(mDir.path());
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

    // "加密方式": checking the server's certificate connects only to a server whose certificate the chosen authority
    // signed for the host name given; "必须加密" refuses a server without encryption; each connection is encrypted
    // as chosen.
    void encryption_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<ServerSettings::Encryption>("encryption");
        QTest::addColumn<QString>("authority");
        QTest::addColumn<bool>("plainServer");
        QTest::addColumn<QString>("refusal"); // empty: connects
        using E = ServerSettings::Encryption;
        QTest::newRow("certificate checked with the right authority")
            << u"localhost"_s << E::VerifyServer << u"right"_s << false << QString();
        QTest::newRow("certificate checked with another authority")
            << u"localhost"_s << E::VerifyServer << u"other"_s << false
            << u"服务器的证书不能用指定的根证书验证，连接被拒绝：连接到的可能不是您的数据库服务器。"_s;
        QTest::newRow("certificate checked under another host name")
            << u"127.0.0.1"_s << E::VerifyServer << u"right"_s << false
            << u"服务器证书上的名称与服务器地址“127.0.0.1”不符，连接被拒绝：连接到的可能不是您的数据库服务器。"_s;
        QTest::newRow("certificate checked without a root certificate")
            << u"localhost"_s << E::VerifyServer << QString() << false
            << u"请选择给服务器颁发证书的机构的根证书文件！"_s;
        QTest::newRow("encryption required, server encrypts")
            << u"127.0.0.1"_s << E::Required << QString() << false << QString();
        QTest::newRow("encryption required, server without encryption")
            << u"127.0.0.1"_s << E::Required << QString() << true
            << u"数据库服务器不支持加密连接，而连接设置要求加密，所以没有连接。"_s;
        QTest::newRow("not encrypted, server without encryption")
            << u"127.0.0.1"_s << E::None << QString() << true << QString();
    }
    void encryption() {
        QFETCH(QString, host);
        QFETCH(ServerSettings::Encryption, encryption);
        QFETCH(QString, authority);
        QFETCH(bool, plainServer);
        QFETCH(QString, refusal);
        ServerConnection logic(mDir.path());
        logic.settings = plainServer ? mPlainCluster->settings(u"postgres"_s) : clerk();
        logic.settings.host = host;
        logic.settings.encryption = encryption;
        logic.settings.rootCertificate = authority.isEmpty() ? QString() : certificate(authority + u".crt"_s);
        QCOMPARE(logic.testConnection(), refusal.isEmpty());
        QCOMPARE(mMessages.shown().size(), 1);
        const QString told = mMessages.lastText();
        if (!refusal.isEmpty()) {
            QVERIFY2(told.contains(refusal), qPrintable(told));
            return;
        }
        QVERIFY2(told.startsWith(u"连接数据库服务器成功！"_s), qPrintable(told));
        QCOMPARE(encrypted(logic.settings), std::optional<bool>(encryption != ServerSettings::Encryption::None));
    }

    // Asked first; made once; a database that has the tables is refused.
    void tablesCreatedOnceAfterAsking() {
        ServerConnection logic(mDir.path());
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
        ServerConnection logic(mDir.path());
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
        ServerConnection reopened(mDir.path());
        QVERIFY(reopened.configured());
        QCOMPARE(reopened.settings.port, mCluster->port());
        QVERIFY(reopened.settings.password.isEmpty());

        mMessages.answerQuestion(false);
        QVERIFY(!reopened.useEmbedded());
        QVERIFY(reopened.configured());
        mMessages.answerQuestion(true);
        QVERIFY(reopened.useEmbedded());
        QVERIFY(!reopened.configured());
        QVERIFY(QFile::exists(QDir(mDir.path()).filePath(Database::DatabaseFile)));
        QCOMPARE(mMessages.lastText(), u"已改用本机的数据库文件，下次启动程序时生效。"_s);
        QCOMPARE(mMessages.unexpected(), 0);
    }

    // Server.ini keeps the encryption as the client library's mode. A file from before there was a choice, or with
    // a weaker mode written by hand, encrypts all the same.
    void encryptionInServerIni_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<ServerSettings::Encryption>("encryption");
        QTest::newRow("no mode") << QString() << ServerSettings::Encryption::Required;
        QTest::newRow("disable") << u"SSLMode=disable"_s << ServerSettings::Encryption::None;
        QTest::newRow("verify-full") << u"SSLMode=verify-full"_s << ServerSettings::Encryption::VerifyServer;
        QTest::newRow("prefer written by hand") << u"SSLMode=prefer"_s << ServerSettings::Encryption::Required;
    }
    void encryptionInServerIni() {
        QFETCH(QString, line);
        QFETCH(ServerSettings::Encryption, encryption);
        QFile ini(QDir(mDir.path()).filePath(ServerSettings::File));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write((u"[Server]\nHost=db.example\nDatabase=contracts\nUser=clerk\n"_s + line + u'\n').toUtf8());
        ini.close();
        const std::optional<ServerSettings> read = ServerSettings::read(mDir.path());
        QVERIFY(read);
        QCOMPARE(read->encryption, encryption);
        QVERIFY(read->write(mDir.path()));
        QVERIFY(iniText().contains(u"SSLMode="_s + ServerSettings::sslMode(encryption)));
    }

    // The window hands its fields to the logic: typed values are what is saved.
    void windowSavesWhatWasTyped() {
        ServerConnectionDialog window(mDir.path());
        // New settings ask for encryption; the root certificate counts only when the certificate is checked.
        QCOMPARE(window.encryptionBox->currentText(), u"必须加密"_s);
        QVERIFY(!window.rootCertificateEdit->isEnabled());
        window.encryptionBox->setCurrentIndex(window.encryptionBox->findText(u"加密并验证服务器证书"_s));
        QVERIFY(window.rootCertificateEdit->isEnabled());
        mMessages.answerFileName(certificate(u"right.crt"_s));
        window.rootCertificateButton->click();
        QCOMPARE(window.rootCertificateEdit->text(), QDir::toNativeSeparators(certificate(u"right.crt"_s)));
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
        QCOMPARE(stored->encryption, ServerSettings::Encryption::VerifyServer);
        QCOMPARE(stored->rootCertificate, certificate(u"right.crt"_s));
        QVERIFY(!iniText().contains(u"secret"_s));
    }
};

QTEST_MAIN(TestServerConnection)
#include "tst_serverconnection.moc"
