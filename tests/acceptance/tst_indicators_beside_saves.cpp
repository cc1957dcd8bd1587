// Indicators deleted and replaced by an import on one server while other programs save records of the category:
// no record keeps a value of an indicator that is gone, and neither side fails for waiting on the other.
#include "catalogue/IndicatorCommands.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include <memory>
#include <vector>

class TestIndicatorsBesideSaves : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deletedIndicatorsKeepNoValues() {
        const QString why = TempAppFolder::serverUnavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        TempAppFolder::useStore(TempAppFolder::Store::Server);
        TempAppFolder app;
        TempAppFolder::useStore(TempAppFolder::Store::Embedded);
        QVERIFY(app.isValid());
        ScriptedMessages messages;
        Messages::setInstance(&messages);
        const QString category = QStringLiteral("00010001");
        const QString source = QStringLiteral("00010002");
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        QVERIFY(app.addCategory(category, QStringLiteral("买卖"), QStringLiteral("0001")));
        QVERIFY(app.addCategory(source, QStringLiteral("租赁"), QStringLiteral("0001")));
        // The import brings the same field back: 甲方 keeps its values, every other indicator goes.
        QVERIFY(app.addIndicator(category, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
        QVERIFY(app.addIndicator(source, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);

        const QString stopFile = app.file(QStringLiteral("stop"));
        std::vector<std::unique_ptr<QProcess>> children;
        // The programs stop at the end, also when a check fails midway.
        const auto stop = qScopeGuard([&] {
            QFile(stopFile).open(QIODevice::WriteOnly);
            for (auto &child : children)
                child->waitForFinished(60000);
        });
        for (int p = 0; p < 2; ++p) {
            auto child = std::make_unique<QProcess>();
            child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child->start(QStringLiteral(FILL_SAVE_CHILD), {app.path(), category, stopFile});
            QVERIFY(child->waitForStarted());
            children.push_back(std::move(child));
        }

        IndicatorCommands commands(app.database());
        commands.setSelectHook([&](QString *code, QString *name) {
            *code = source;
            *name = QStringLiteral("租赁");
            return true;
        });
        const int rounds = 30;
        int roundsWithValues = 0;
        for (int round = 0; round < rounds; ++round) {
            const QString name = QStringLiteral("临时%1").arg(round);
            const int id = app.addIndicator(category, name, 0, QStringLiteral("Data%1").arg(10 + round), 2 + round);
            QVERIFY(id > 0);
            // The other programs open records with it and save values into it.
            QTest::qWait(150);
            QVERIFY(commands.load(category));
            messages.clear();
            messages.answerQuestion(true);
            if (round % 2 == 0) {
                commands.selectRow(commands.model()->rowOfId(id));
                commands.deleteIndicator();
            } else {
                commands.importIndicators();
            }
            // Only the question: no failure of the delete or of the import.
            QVERIFY2(messages.shown().size() == 1, qPrintable(messages.texts().join(QLatin1Char('\n'))));
            QCOMPARE(messages.shown().first().kind, ScriptedMessages::Kind::Question);
            if (messages.lastText().contains(name))
                ++roundsWithValues;
            QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TDataPara WHERE PropertyName=?"), {name}),
                     QStringLiteral("0"));
        }
        QVERIFY(QFile(stopFile).open(QIODevice::WriteOnly));

        int saves = 0;
        for (auto &child : children) {
            QVERIFY(child->waitForFinished(60000));
            QCOMPARE(child->exitStatus(), QProcess::NormalExit);
            QCOMPARE(child->exitCode(), 0);
            for (const QString &line : QString::fromUtf8(child->readAllStandardOutput()).split(QLatin1Char('\n'))) {
                QVERIFY2(!line.startsWith(QLatin1String("warning:")), qPrintable(line));
                if (line.startsWith(QLatin1String("saved ")))
                    ++saves;
            }
        }
        qInfo("%d saves, values written into %d of %d indicators before they went", saves, roundsWithValues, rounds);
        // The race was run: the programs wrote into the indicators that were then deleted.
        QVERIFY(roundsWithValues > rounds / 2);
        for (int round = 0; round < rounds; ++round) {
            const QString column = QStringLiteral("Data%1").arg(10 + round);
            QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractMain WHERE MainTypeCode=? AND "
                                               "coalesce(") +
                                    column + QStringLiteral(",'')<>''"),
                                {category}),
                     QStringLiteral("0"));
        }
        Messages::setInstance(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestIndicatorsBesideSaves)
#include "tst_indicators_beside_saves.moc"
