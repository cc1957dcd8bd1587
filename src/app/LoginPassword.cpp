#include "app/LoginPassword.h"

#include "platform/Messages.h"
#include "store/Database.h"
#include "store/ParameterStore.h"

#include <sodium.h>

namespace {

const QString NoPassword = QStringLiteral("579");
const QString HashPrefix = QStringLiteral("$argon2");

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

bool LoginPassword::isNone(const QString &stored) {
    return stored.isEmpty() || stored == NoPassword;
}

QString LoginPassword::toStored(const QString &password) {
    if (isNone(password) || !sodiumReady())
        return password;
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return QString();
    return QString::fromLatin1(out);
}

bool LoginPassword::matches(const QString &stored, const QString &typed) {
    // A database from before hashing holds its password as typed.
    if (!stored.startsWith(HashPrefix))
        return stored == typed;
    if (!sodiumReady())
        return false;
    const QByteArray hash = stored.toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), utf8.constData(), static_cast<unsigned long long>(utf8.size())) ==
           0;
}

void LoginPassword::load(Database &database) {
    mDatabase = &database;
    mStored = ParameterStore(database).password().value_or(QString());
    if (mStored == NoPassword)
        mStored.clear();
}

bool LoginPassword::loginCheck() const {
    if (!isSet())
        return true;
    const QString typed = Messages::instance().passwordPrompt(ApplicationTitle, QStringLiteral("请输入登陆密码："));
    if (matches(mStored, typed))
        return true;
    Messages::instance().information(QStringLiteral("密码错误！"));
    return false;
}

bool LoginPassword::adminCheck() const {
    if (!isSet())
        return true;
    const QString typed =
        Messages::instance().passwordPrompt(ApplicationTitle, QStringLiteral("请输入登陆/管理密码："));
    if (matches(mStored, typed))
        return true;
    Messages::instance().information(QStringLiteral("密码错误！"));
    return false;
}

LoginPassword::ChangeResult LoginPassword::changePassword(const QString &oldText, const QString &newText,
                                                          const QString &ensureText) {
    if (newText != ensureText) {
        Messages::instance().information(QStringLiteral("新密码与确认输入的新密码不一致！"));
        return ChangeResult::Mismatch;
    }
    const std::optional<ParameterStore::PasswordRow> row =
        mDatabase ? ParameterStore(*mDatabase).passwordRow() : std::nullopt;
    if (!row) {
        Messages::instance().information(mDatabase ? mDatabase->failureText(QStringLiteral("读取数据文件发生错误！"))
                                                   : QStringLiteral("读取数据文件发生错误！"));
        return ChangeResult::ReadFailed;
    }
    if (!matches(row->stored, oldText)) {
        Messages::instance().information(QStringLiteral("要修改密码，必须输入正确的原密码！"));
        return ChangeResult::WrongOld;
    }

    const QString newStored = toStored(newText);
    const bool ok =
        !(newStored.isEmpty() && !newText.isEmpty()) && ParameterStore(*mDatabase).setPassword(newStored, row->exists);
    if (!ok) {
        Messages::instance().information(mDatabase->failureText(QStringLiteral("存储数据发生错误！")));
        return ChangeResult::SaveFailed;
    }
    Messages::instance().information(QStringLiteral("修改密码成功！"));
    mStored = isNone(newStored) ? QString() : newStored;
    return ChangeResult::Saved;
}
