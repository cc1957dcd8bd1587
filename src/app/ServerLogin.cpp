#include "app/ServerLogin.h"

#include "platform/Messages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"

#include <QDir>
#include <QFileInfo>

std::unique_ptr<Database> ServerLogin::openServerAtStart(const QString &appFolder) {
    const std::optional<ServerSettings> settings = ServerSettings::read(appFolder);
    const QString where = settings ? QStringLiteral("服务器：%1:%2\n数据库：%3\n用户：%4\n\n")
                                         .arg(settings->host)
                                         .arg(settings->port)
                                         .arg(settings->database, settings->user)
                                   : QString();
    for (;;) {
        const QString password =
            Messages::instance().passwordPrompt(ApplicationTitle, where + QStringLiteral("请输入数据库服务器的密码："));
        std::unique_ptr<Database> database = Database::open(appFolder, password);
        if (database->isConnected()) {
            if (!Schema::hasTables(database->connection()))
                Messages::instance().warning(
                    QStringLiteral("数据库服务器上的这个数据库还没有数据表。\n请在“数据库维护”的"
                                   "“服务器连接设置”中建立数据表。"));
            return database;
        }
        const QString reason = database->connectionError().trimmed();
        database.reset();
        if (!Messages::instance().question(QStringLiteral("无法连接数据库服务器！\n服务器的回答：") + reason +
                                           QStringLiteral("\n\n是否重新输入密码再试？选择“否”将退出程序。")))
            return nullptr;
    }
}

bool ServerLogin::settingsIncomplete(const QString &appFolder) {
    if (!QFileInfo::exists(QDir(appFolder).filePath(ServerSettings::File)) || ServerSettings::read(appFolder))
        return false;
    Messages::instance().warning(
        QStringLiteral("服务器连接设置（DB/Server.ini）中缺少服务器地址或数据库名，程序不能启动。\n"
                       "请改正这个文件，或者删除它改用本机的数据库文件。"));
    return true;
}
