#include "app/admin/ServerConnection.h"

#include "platform/Messages.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>

#include <utility>

namespace {

const QString ProbeConnection = QStringLiteral("vantrel-server-settings");

// A connection of its own, closed and removed when the work is done, so the program's connection is never touched.
template <typename Fn> auto withServer(const ServerSettings &settings, QString *error, Fn &&fn) {
    decltype(fn(std::declval<QSqlDatabase &>())) result{};
    {
        QSqlDatabase db = Database::openServer(settings, ProbeConnection, error);
        if (db.isOpen())
            result = fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(ProbeConnection);
    return result;
}

QString noServer(const QString &reason) {
    return QStringLiteral("无法连接数据库服务器！\n服务器的回答：") + reason.trimmed();
}

} // namespace

ServerConnection::ServerConnection(QString appFolder)
    : mAppFolder(std::move(appFolder)) {
    if (std::optional<ServerSettings> stored = ServerSettings::read(mAppFolder))
        settings = *stored;
    settings.password.clear();
}

bool ServerConnection::configured() const {
    return ServerSettings::read(mAppFolder).has_value();
}

QString ServerConnection::missingField() const {
    if (settings.host.trimmed().isEmpty())
        return QStringLiteral("请输入服务器地址！");
    if (settings.port <= 0 || settings.port > 65535)
        return QStringLiteral("端口必须在1到65535之间！");
    if (settings.database.trimmed().isEmpty())
        return QStringLiteral("请输入数据库名！");
    if (settings.user.trimmed().isEmpty())
        return QStringLiteral("请输入用户名！");
    if (settings.encryption == ServerSettings::Encryption::VerifyServer) {
        const QString certificate = settings.rootCertificate.trimmed();
        if (certificate.isEmpty())
            return QStringLiteral("请选择给服务器颁发证书的机构的根证书文件！");
        // The client library's connection options are separated by it.
        if (certificate.contains(QLatin1Char(';')))
            return QStringLiteral("根证书文件的路径中不能有分号（;），请把文件放到其他位置后再选择。");
        if (!QFileInfo(QDir(mAppFolder).absoluteFilePath(certificate)).isFile())
            return QStringLiteral("找不到根证书文件“%1”！").arg(QDir::toNativeSeparators(certificate));
    }
    return {};
}

ServerSettings ServerConnection::resolved() const {
    ServerSettings s = settings;
    s.rootCertificate = s.rootCertificate.trimmed();
    if (!s.rootCertificate.isEmpty())
        s.rootCertificate = QDir(mAppFolder).absoluteFilePath(s.rootCertificate);
    return s;
}

bool ServerConnection::testConnection() {
    if (const QString missing = missingField(); !missing.isEmpty()) {
        Messages::instance().information(missing);
        return false;
    }
    QString error;
    enum class Outcome { Failed, Empty, Ready };
    const Outcome outcome = withServer(
        resolved(), &error, [](QSqlDatabase &db) { return Schema::hasTables(db) ? Outcome::Ready : Outcome::Empty; });
    if (outcome == Outcome::Failed) {
        Messages::instance().warning(noServer(error));
        return false;
    }
    Messages::instance().information(
        outcome == Outcome::Ready
            ? QStringLiteral("连接数据库服务器成功！")
            : QStringLiteral("连接数据库服务器成功！\n这个数据库还没有数据表，可以点击“建立数据表”建立。"));
    return true;
}

bool ServerConnection::createTables() {
    if (const QString missing = missingField(); !missing.isEmpty()) {
        Messages::instance().information(missing);
        return false;
    }
    QString error;
    enum class Outcome { Failed, HasTables, Declined, NotCreated, Created };
    const Outcome outcome = withServer(resolved(), &error, [&](QSqlDatabase &db) {
        if (Schema::hasTables(db))
            return Outcome::HasTables;
        if (!Messages::instance().question(QStringLiteral("将在数据库服务器的数据库“") + settings.database +
                                           QStringLiteral("”中建立本系统的数据表，是否继续？")))
            return Outcome::Declined;
        return Schema::create(db, &error) ? Outcome::Created : Outcome::NotCreated;
    });
    switch (outcome) {
    case Outcome::Failed:
        Messages::instance().warning(noServer(error));
        return false;
    case Outcome::HasTables:
        Messages::instance().information(QStringLiteral("这个数据库中已经有本系统的数据表，不能再次建立！"));
        return false;
    case Outcome::Declined:
        return false;
    case Outcome::NotCreated:
        Messages::instance().warning(QStringLiteral("建立数据表发生错误！\n服务器的回答：") + error.trimmed());
        return false;
    case Outcome::Created:
        break;
    }
    Messages::instance().information(QStringLiteral("数据表建立成功！"));
    return true;
}

bool ServerConnection::save() {
    if (const QString missing = missingField(); !missing.isEmpty()) {
        Messages::instance().information(missing);
        return false;
    }
    ServerSettings stored = settings;
    stored.host = stored.host.trimmed();
    stored.database = stored.database.trimmed();
    stored.user = stored.user.trimmed();
    stored.rootCertificate = stored.rootCertificate.trimmed();
    QString error;
    if (!stored.write(mAppFolder, &error)) {
        Messages::instance().warning(QStringLiteral("保存服务器连接设置发生错误！\n") + error);
        return false;
    }
    Messages::instance().information(
        QStringLiteral("服务器连接设置已保存，下次启动程序时生效。\n密码不会保存，每次启动时输入。"));
    return true;
}

bool ServerConnection::useEmbedded() {
    if (!configured()) {
        Messages::instance().information(QStringLiteral("程序已经在使用本机的数据库文件。"));
        return false;
    }
    if (!Messages::instance().question(QStringLiteral("删除服务器连接设置，下次启动程序时改用本机的数据库文件吗？\n"
                                                      "服务器上的数据不会被删除，也不会复制到本机。")))
        return false;
    // The next start must find a database file to open.
    QString error;
    if (!Schema::layOutAppFolder(mAppFolder, &error) || !ServerSettings::remove(mAppFolder)) {
        Messages::instance().warning(QStringLiteral("删除服务器连接设置发生错误！\n") + error);
        return false;
    }
    Messages::instance().information(QStringLiteral("已改用本机的数据库文件，下次启动程序时生效。"));
    return true;
}

bool ServerConnection::chooseRootCertificate() {
    const QString current = settings.rootCertificate.trimmed();
    const QString chosen = Messages::instance().openFileName(
        QStringLiteral("选择根证书文件"),
        current.isEmpty() ? mAppFolder : QFileInfo(QDir(mAppFolder).absoluteFilePath(current)).absolutePath(),
        QStringLiteral("证书文件 (*.crt *.pem *.cer);;所有文件 (*)"));
    if (chosen.isEmpty())
        return false;
    settings.rootCertificate = chosen;
    return true;
}
