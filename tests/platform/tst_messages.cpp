// Where a message goes: to the implementation the process installed, or, on a thread that redirected its messages
// (a batch's worker making one document), to that thread's receiver alone.

#include "platform/ScriptedMessages.h"

#include <QTest>
#include <QThread>

#include <memory>

class TestMessages : public QObject {
    Q_OBJECT

    ScriptedMessages mInstalled;

private Q_SLOTS:
    void init() {
        mInstalled.clear();
        Messages::setInstance(&mInstalled);
    }
    void cleanup() { Messages::setInstance(nullptr); }

    void redirectKeepsAThreadsMessagesToItself() {
        ScriptedMessages first;
        ScriptedMessages second;
        auto say = [](Messages &receiver, const QString &text) {
            return std::unique_ptr<QThread>(QThread::create([&receiver, text] {
                const Messages::Redirect redirect(receiver);
                for (int i = 0; i < 200; ++i)
                    Messages::instance().information(text);
            }));
        };
        const auto a = say(first, QStringLiteral("甲"));
        const auto b = say(second, QStringLiteral("乙"));
        a->start();
        b->start();
        Messages::instance().information(QStringLiteral("主"));
        QVERIFY(a->wait(10000));
        QVERIFY(b->wait(10000));

        QCOMPARE(first.texts(), QStringList(200, QStringLiteral("甲")));
        QCOMPARE(second.texts(), QStringList(200, QStringLiteral("乙")));
        QCOMPARE(mInstalled.texts(), QStringList{QStringLiteral("主")});
    }

    void redirectEndsWithItsScope() {
        ScriptedMessages outer;
        ScriptedMessages inner;
        {
            const Messages::Redirect toOuter(outer);
            {
                const Messages::Redirect toInner(inner);
                Messages::instance().warning(QStringLiteral("里"));
            }
            Messages::instance().warning(QStringLiteral("外"));
        }
        Messages::instance().warning(QStringLiteral("装"));
        QCOMPARE(inner.texts(), QStringList{QStringLiteral("里")});
        QCOMPARE(outer.texts(), QStringList{QStringLiteral("外")});
        QCOMPARE(mInstalled.texts(), QStringList{QStringLiteral("装")});
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
