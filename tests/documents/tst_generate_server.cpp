// vantrel-generate on an application folder that uses a server with a password: the password comes from libpq's
// own sources (PGPASSWORD, the password file), and without one the program ends saying so. The cluster is private
// to this test (the shared one trusts every login).

#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"
#include "support/PrivateCluster.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestGenerateServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void password_data();
    void password();

private:
    std::unique_ptr<PrivateCluster> mCluster;
    QTemporaryDir mApp;
};

void TestGenerateServer::initTestCase() {
    mCluster = std::make_unique<PrivateCluster>();
    if (!mCluster->unavailableReason().isEmpty())
        QSKIP(qPrintable(mCluster->unavailableReason()));
    QVERIFY(mCluster->addPasswordUser(QStringLiteral("clerk"), QStringLiteral("secret")));
    ServerSettings settings = mCluster->settings(QStringLiteral("clerk"), QStringLiteral("clerk"));
    QVERIFY(Schema::layOutAppFolder(mApp.path()) && settings.write(mApp.path()));
    settings.password = QStringLiteral("secret");
    QString error;
    {
        QSqlDatabase db = Database::openServer(settings, QStringLiteral("schema"), &error);
        QVERIFY2(db.isOpen() && Schema::create(db, &error), qPrintable(error));
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES "
                                          "('0001','房屋租赁','',0), ('00010001','房屋租赁合同','0001',1)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
}

void TestGenerateServer::cleanupTestCase() {
    mCluster.reset();
}

void TestGenerateServer::password_data() {
    QTest::addColumn<QString>("environment"); // PGPASSWORD's value, or "file:" and the password file's line
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // on standard error
    QTest::newRow("no password anywhere")
        << QString() << QStringLiteral("00010001") << 1
        << QStringLiteral("要求密码，但没有给出。请用环境变量 PGPASSWORD 或 ~/.pgpass");
    QTest::newRow("wrong password") << QStringLiteral("Secret") << QStringLiteral("00010001") << 1
                                    << QStringLiteral("无法打开数据库：");
    QTest::newRow("PGPASSWORD, a category without contracts")
        << QStringLiteral("secret") << QStringLiteral("00010001") << 0
        << QStringLiteral("类别 00010001（房屋租赁合同）中没有合同。");
    QTest::newRow("password file, a root category")
        << QStringLiteral("file:*:*:clerk:clerk:secret") << QStringLiteral("0001") << 0
        << QStringLiteral("类别 0001（房屋租赁）是一级分类，其中没有合同，合同在它下面的类别中：00010001。");
}

void TestGenerateServer::password() {
    QFETCH(QString, environment);
    QFETCH(QString, category);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PGPASSWORD"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("PGPASSFILE"), home.filePath(QStringLiteral("pgpass")));
    if (environment.startsWith(QStringLiteral("file:"))) {
        QFile file(home.filePath(QStringLiteral("pgpass")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(environment.mid(5).toUtf8() + '\n');
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    } else if (!environment.isEmpty()) {
        env.insert(QStringLiteral("PGPASSWORD"), environment);
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VANTREL_GENERATE), {QStringLiteral("--folder"), mApp.path(),
                                                     QStringLiteral("--category"), category, QStringLiteral("--all")});
    QVERIFY(process.waitForFinished(60000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == exitCode, qPrintable(errors));
    QVERIFY2(errors.contains(said), qPrintable(errors));
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestGenerateServer)
#include "tst_generate_server.moc"
