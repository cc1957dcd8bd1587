#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <memory>
#include <vector>

// Several programs saving new records of one numbered category at the same time on one server: every record is
// stored with a number of its own, and a program that lost a number is told its new number and nothing else.
class TestNumberingRace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everySaveGetsANumberOfItsOwn() {
        const QString why = TempAppFolder::serverUnavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        TempAppFolder::useStore(TempAppFolder::Store::Server);
        TempAppFolder app;
        TempAppFolder::useStore(TempAppFolder::Store::Embedded);
        QVERIFY(app.isValid());
        const QString category = QStringLiteral("00010001");
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        QVERIFY(app.addCategory(category, QStringLiteral("子"), QStringLiteral("0001")));
        QVERIFY(app.addIndicator(category, QStringLiteral("合同编号"), 0, QStringLiteral("Data1"), 1,
                                 QStringLiteral("[GETBILLID]{FZ[YYYY][IIIII]}")) > 0);
        QVERIFY(app.addIndicator(category, QStringLiteral("甲方"), 0, QStringLiteral("Data2"), 2) > 0);

        const int programs = 8;
        const int each = 500;
        QElapsedTimer timer;
        timer.start();
        std::vector<std::unique_ptr<QProcess>> children;
        for (int p = 0; p < programs; ++p) {
            auto child = std::make_unique<QProcess>();
            child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child->start(QStringLiteral(RACE_SAVE_CHILD), {app.path(), category, QString::number(each)});
            QVERIFY(child->waitForStarted());
            children.push_back(std::move(child));
        }
        QStringList notices;
        int saves = 0;
        for (auto &child : children) {
            QVERIFY(child->waitForFinished(30 * 60 * 1000));
            const QStringList lines = QString::fromUtf8(child->readAllStandardOutput()).split(QLatin1Char('\n'));
            for (const QString &line : lines) {
                if (line.startsWith(QLatin1String("saved ")))
                    ++saves;
                else if (!line.isEmpty())
                    notices << line;
            }
            QCOMPARE(child->exitStatus(), QProcess::NormalExit);
            QCOMPARE(child->exitCode(), 0);
        }
        qInfo("%d programs x %d saves: %lld ms, %lld changed-number notices", programs, each,
              static_cast<long long>(timer.elapsed()), static_cast<long long>(notices.size()));

        QCOMPARE(saves, programs * each);
        const QString changed = QStringLiteral("information: 合同编号已被其他用户使用，本合同的编号改为：FZ");
        for (const QString &notice : std::as_const(notices))
            QVERIFY2(notice.startsWith(changed), qPrintable(notice));
        const QString total = QString::number(programs * each);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractMain WHERE MainTypeCode=?"), {category}),
                 total);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(DISTINCT Data1) FROM TContractMain WHERE Data1 LIKE 'FZ%'")),
                 total);
    }
};

QTEST_GUILESS_MAIN(TestNumberingRace)
#include "tst_numbering_race.moc"
