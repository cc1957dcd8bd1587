#include "support/PrivateCluster.h"

#include "store/Database.h"

#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QString readState(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().trimmed()) : QString();
}
} // namespace

PrivateCluster::PrivateCluster(const QStringList &startOptions)
    : mEncrypted(!startOptions.contains(QStringLiteral("--no-tls"))) {
    if (!mState.isValid() || !script(QStringLiteral("start"), startOptions)) {
        mUnavailable = QStringLiteral("cannot run pg-cluster.sh");
        return;
    }
    mUnavailable = readState(mState.filePath(QStringLiteral("unavailable")));
    if (!mUnavailable.isEmpty()) {
        mUnavailable.prepend(QStringLiteral("private PostgreSQL cluster unavailable: "));
        return;
    }
    mPort = readState(mState.filePath(QStringLiteral("port"))).toInt();
    if (mPort <= 0)
        mUnavailable = QStringLiteral("private PostgreSQL cluster wrote no port");
}

PrivateCluster::~PrivateCluster() {
    script(QStringLiteral("stop"));
}

bool PrivateCluster::script(const QString &action, const QStringList &options) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(VANTREL_PG_SCRIPT), QStringList{action, mState.path()} + options);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

ServerSettings PrivateCluster::settings(const QString &database, const QString &user) const {
    ServerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = mPort;
    s.database = database;
    s.user = user;
    s.encryption = mEncrypted ? ServerSettings::Encryption::Required : ServerSettings::Encryption::None;
    return s;
}

QString PrivateCluster::exec(const QString &sql) {
    const QString name = QStringLiteral("vantrel-private-cluster");
    QString error;
    {
        QSqlDatabase db = Database::openServer(settings(QStringLiteral("postgres")), name, &error);
        if (db.isOpen()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = q.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

bool PrivateCluster::addPasswordUser(const QString &user, const QString &password) {
    // The cluster trusts every local login; this one is checked, ahead of that rule.
    const QString hbaFile = readState(mState.filePath(QStringLiteral("cluster"))) + QStringLiteral("/data/pg_hba.conf");
    QFile hba(hbaFile);
    if (!hba.open(QIODevice::ReadOnly))
        return false;
    const QByteArray rules = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    hba.write("host all " + user.toUtf8() + " 127.0.0.1/32 scram-sha-256\n" + rules);
    hba.close();
    // Names and the password come from the test itself: letters and digits only.
    return exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(user, password)).isEmpty() &&
           exec(QStringLiteral("CREATE DATABASE %1 OWNER %1 TEMPLATE template0 ENCODING 'UTF8'").arg(user)).isEmpty() &&
           exec(QStringLiteral("SELECT pg_reload_conf()")).isEmpty();
}

bool PrivateCluster::pause() {
    return script(QStringLiteral("pause"));
}

bool PrivateCluster::resume() {
    return script(QStringLiteral("resume"));
}

bool PrivateCluster::pauseDuring(const std::function<void()> &work, int afterMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("sleep %1 && exec \"$0\" pause \"$1\"").arg(afterMs / 1000.0),
             QStringLiteral(VANTREL_PG_SCRIPT), mState.path()});
    if (!p.waitForStarted())
        return false;
    work();
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
