#include "app/ServerLogin.h"

#include "platform/Messages.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"
#include "store/TDM.h"

bool ServerLogin::OpenServerAtStart(const QString &appFolder, Messages &messages) {
    const std::optional<ServerSettings> settings = ServerSettings::read(appFolder);
    const QString where = settings ? QStringLiteral("服务器：%1:%2\n数据库：%3\n用户：%4\n\n")
                                         .arg(settings->host)
                                         .arg(settings->port)
                                         .arg(settings->database, settings->user)
                                   : QString();
    for (;;) {
        const QString password =
            messages.passwordPrompt(ApplicationTitle, where + QStringLiteral("请输入数据库服务器的密码："));
        TDM &dm = TDM::create(appFolder, password);
        if (dm.isConnected()) {
            if (!Schema::hasTables(dm.ADOLocal()))
                messages.warning(QStringLiteral("数据库服务器上的这个数据库还没有数据表。\n请在“数据库维护”的"
                                                "“服务器连接设置”中建立数据表。"));
            return true;
        }
        const QString reason = dm.connectionError().trimmed();
        TDM::destroy();
        if (!messages.question(QStringLiteral("无法连接数据库服务器！\n服务器的回答：") + reason +
                               QStringLiteral("\n\n是否重新输入密码再试？选择“否”将退出程序。")))
            return false;
    }
}
