#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

// The application killed in the middle of a loop of record saves: the database stays intact and holds every
// record whose save had returned.
class TestKilledDuringSaves : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyReturnedSaveSurvives() {
        QStringList returned;
        QString folder;
        {
            TempAppFolder app;
            QVERIFY(app.isValid());
            QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
            QVERIFY(app.addCategory(QStringLiteral("00010001"), QStringLiteral("子"), QStringLiteral("0001")));
            QVERIFY(app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"),
                                     1) > 0);
            folder = app.path();
            Database::destroy();

            for (int round = 0; round < 3; ++round) {
                QProcess child;
                child.start(QStringLiteral(SAVE_LOOP_CHILD), {folder, QStringLiteral("00010001")});
                QVERIFY(child.waitForStarted());
                // Kill at a different point of the loop each round.
                QElapsedTimer timer;
                timer.start();
                const int wanted = 20 + 37 * round;
                QByteArray out;
                while (out.count('\n') < wanted && timer.elapsed() < 60000) {
                    child.waitForReadyRead(100);
                    out += child.readAllStandardOutput();
                }
                ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
                child.waitForFinished();
                out += child.readAllStandardOutput();
                for (const QByteArray &line : out.split('\n')) {
                    if (!line.trimmed().isEmpty())
                        returned << QString::fromLatin1(line.trimmed());
                }
            }
            QVERIFY(returned.size() >= 20 + 57 + 94);

            Database &dm = Database::create(folder);
            QVERIFY(dm.isConnected());
            QCOMPARE(dm.GetDataBySQL(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
            for (const QString &id : std::as_const(returned)) {
                QVERIFY2(!dm.GetDataBySQL(QStringLiteral("SELECT Data1 FROM TContractMain WHERE ID=?"), {id}).isEmpty(),
                         qPrintable(id));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKilledDuringSaves)
#include "tst_killed_during_saves.moc"
