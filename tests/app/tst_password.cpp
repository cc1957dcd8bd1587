#include "app/LoginPassword.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QtTest>

class TestPassword : public BothStoresTest {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Messages::setInstance(nullptr); }

    void noPasswordAsksNothing_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("initial 579") << "579";
        QTest::newRow("empty") << "";
    }
    void noPasswordAsksNothing() {
        QFETCH(QString, stored);
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {stored}));
        LoginPassword password;
        password.load(Database::instance());
        ScriptedMessages messages;
        Messages::setInstance(&messages);
        QVERIFY(!password.isSet());
        QVERIFY(password.loginCheck());
        QVERIFY(password.adminCheck());
        QVERIFY(messages.shown().isEmpty());
    }

    void emptyParameterTableAsksNothing() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("DELETE FROM TPara")));
        LoginPassword password;
        password.load(Database::instance());
        QVERIFY(!password.isSet());
    }

    void changeThenCheck() {
        TempAppFolder app;
        LoginPassword password;
        password.load(Database::instance());
        ScriptedMessages messages;
        Messages::setInstance(&messages);

        // The old password of a new database is the initial 579.
        QCOMPARE(password.changePassword(QStringLiteral(""), QStringLiteral("秘密Ab"), QStringLiteral("秘密Ab")),
                 LoginPassword::ChangeResult::WrongOld);
        QCOMPARE(messages.lastText(), QStringLiteral("要修改密码，必须输入正确的原密码！"));
        QCOMPARE(password.changePassword(QStringLiteral("579"), QStringLiteral("秘密Ab"), QStringLiteral("秘密ab")),
                 LoginPassword::ChangeResult::Mismatch);
        QCOMPARE(messages.lastText(), QStringLiteral("新密码与确认输入的新密码不一致！"));
        QCOMPARE(password.changePassword(QStringLiteral("579"), QStringLiteral("秘密Ab"), QStringLiteral("秘密Ab")),
                 LoginPassword::ChangeResult::Saved);
        QCOMPARE(messages.lastText(), QStringLiteral("修改密码成功！"));

        // Stored as a salted hash, never as typed.
        const QString stored = app.scalar(QStringLiteral("SELECT LogPass FROM TPara"));
        QVERIFY(!stored.contains(QStringLiteral("秘密")));
        QVERIFY(stored.startsWith(QStringLiteral("$argon2")));

        // Effective at once for the administrative check; letter case counts.
        messages.clear();
        messages.answerPassword(QStringLiteral("秘密ab"));
        QVERIFY(!password.adminCheck());
        QCOMPARE(messages.texts(), (QStringList{"请输入登陆/管理密码：", "密码错误！"}));
        messages.answerPassword(QStringLiteral("秘密Ab"));
        QVERIFY(password.adminCheck());

        // At the next start the login asks for it; a cancelled (empty) prompt is a wrong password.
        LoginPassword nextRun;
        nextRun.load(Database::instance());
        messages.clear();
        messages.answerPassword(QString());
        QVERIFY(!nextRun.loginCheck());
        QCOMPARE(messages.texts(), (QStringList{"请输入登陆密码：", "密码错误！"}));
        messages.answerPassword(QStringLiteral("秘密Ab"));
        QVERIFY(nextRun.loginCheck());

        // Back to no password with the empty text; then the old password to type is the empty text.
        QCOMPARE(password.changePassword(QStringLiteral("秘密Ab"), QString(), QString()),
                 LoginPassword::ChangeResult::Saved);
        QVERIFY(!password.isSet());
        QCOMPARE(password.changePassword(QStringLiteral("579"), QStringLiteral("x"), QStringLiteral("x")),
                 LoginPassword::ChangeResult::WrongOld);
        QCOMPARE(password.changePassword(QString(), QStringLiteral("x"), QStringLiteral("x")),
                 LoginPassword::ChangeResult::Saved);
    }

    void changeCreatesMissingRow() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("DELETE FROM TPara")));
        LoginPassword password;
        password.load(Database::instance());
        ScriptedMessages messages;
        Messages::setInstance(&messages);
        QCOMPARE(password.changePassword(QString(), QStringLiteral("pw"), QStringLiteral("pw")),
                 LoginPassword::ChangeResult::Saved);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TPara")), QStringLiteral("1"));
        QVERIFY(LoginPassword::matches(app.scalar(QStringLiteral("SELECT LogPass FROM TPara")), QStringLiteral("pw")));
    }

    void failuresInTheChangeDialog() {
        TempAppFolder app;
        LoginPassword password;
        password.load(Database::instance());
        ScriptedMessages messages;
        Messages::setInstance(&messages);
        QVERIFY(app.exec(QStringLiteral("ALTER TABLE TPara RENAME TO TParaGone")));
        QCOMPARE(password.changePassword(QStringLiteral("579"), QStringLiteral("a"), QStringLiteral("a")),
                 LoginPassword::ChangeResult::ReadFailed);
        QCOMPARE(messages.lastText(), QStringLiteral("读取数据文件发生错误！"));
        QVERIFY(app.exec(QStringLiteral("ALTER TABLE TParaGone RENAME TO TPara")));

        // A refused write leaves both the stored and the remembered password as they were.
        QVERIFY(app.refuseChanges(QStringLiteral("TPara"), QStringLiteral("UPDATE")));
        QCOMPARE(password.changePassword(QStringLiteral("579"), QStringLiteral("a"), QStringLiteral("a")),
                 LoginPassword::ChangeResult::SaveFailed);
        QCOMPARE(messages.lastText(), QStringLiteral("存储数据发生错误！"));
        QVERIFY(!password.isSet());
        QCOMPARE(app.scalar(QStringLiteral("SELECT LogPass FROM TPara")), QStringLiteral("579"));
    }

    void plainPasswordOfAnOlderDatabaseStillWorks() {
        QVERIFY(LoginPassword::matches(QStringLiteral("old"), QStringLiteral("old")));
        QVERIFY(!LoginPassword::matches(QStringLiteral("old"), QStringLiteral("Old")));
    }
};

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
