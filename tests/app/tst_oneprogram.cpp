// One data folder, one running program, tried with the real program in processes of its own: a second start hands
// what it was started with to the running one and ends.

#include "app/SingleInstance.h"
#include "store/Schema.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QtTest>

#include <optional>

#include <unistd.h>

namespace {
// The umask of a running process as /proc tells it, e.g. "0077".
QString umaskOf(qint64 pid) {
    for (const QByteArray &line : readFile(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith("Umask:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    }
    return {};
}
} // namespace

class TestOneProgram : public QObject {
    Q_OBJECT
    QTemporaryDir mRuntime; // the user's runtime folder, for the test and every program it starts
    std::optional<QTemporaryDir> mDir;
    QString mApp;
    QString mProgram;

    // A portable application folder with the program in it (linked, so that the program takes it as its folder).
    void makeFolder() {
        QVERIFY(mDir->isValid());
        mApp = mDir->filePath(QStringLiteral("app/"));
        QString error;
        QVERIFY2(Schema::layOutAppFolder(mApp, &error), qPrintable(error));
        mProgram = mApp + QStringLiteral("vantrel");
        if (::link(VANTREL_PROGRAM, QFile::encodeName(mProgram).constData()) != 0)
            QVERIFY(QFile::copy(QStringLiteral(VANTREL_PROGRAM), mProgram));
    }

    std::unique_ptr<QProcess> startProgram(const QStringList &arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), mRuntime.path());
        environment.insert(QStringLiteral("VANTREL_SOFFICE"), QStringLiteral("/bin/false"));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(mDir->path());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(mProgram, arguments);
        return process;
    }

    static void end(QProcess &process) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(mRuntime.isValid());
        QVERIFY(QFile::setPermissions(mRuntime.path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(mRuntime.path()));
    }
    void init() {
        mDir.emplace();
        makeFolder();
    }

    // The test holds the folder as the running program does; the real program, started second, hands over and
    // ends. A backup given by a relative name arrives as an absolute one (the two may not share a folder).
    void secondStartHandsOverAndEnds_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("received");
        QTest::newRow("opened with a backup")
            << QStringList{QStringLiteral("备份 1.HTBK")} << QStringLiteral("备份 1.HTBK");
        QTest::newRow("started without a file") << QStringList{} << QString();
    }
    void secondStartHandsOverAndEnds() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, received);
        SingleInstance first(mApp);
        QCOMPARE(first.start({}), SingleInstance::Role::First);
        QStringList handed;
        first.setReceiver([&handed](const QString &file) { handed << file; });

        auto second = startProgram(arguments);
        QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 30000);
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QTRY_COMPARE(handed, QStringList{received.isEmpty() ? QString() : mDir->filePath(received)});
        // The second copy never opened the database: nothing of it is left beside it.
        QVERIFY(!QFileInfo::exists(mApp + QStringLiteral("DB/ZYDB.dat-journal")));
    }

    // Two real programs: the first runs on, every later start ends after handing over. The running program makes
    // its files for its user alone.
    void secondProgramEndsWhileTheFirstRuns() {
        auto first = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::handTo(mApp, {}, 1000), 30000);
        QCOMPARE(umaskOf(first->processId()), QStringLiteral("0077"));
        for (const QStringList &arguments : {QStringList{QStringLiteral("x.HTBK")}, QStringList{}}) {
            auto second = startProgram(arguments);
            QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 30000);
            QCOMPARE(second->exitCode(), 0);
            QCOMPARE(first->state(), QProcess::Running);
        }
        end(*first);
    }

    // Started at the same moment on one folder: one of the two goes on, the other hands over and ends.
    void twoStartsAtOnceLeaveOne() {
        auto a = startProgram({});
        auto b = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning, 30000);
        QProcess &ended = a->state() == QProcess::NotRunning ? *a : *b;
        QProcess &running = &ended == a.get() ? *b : *a;
        QCOMPARE(ended.exitCode(), 0);
        QTest::qWait(1000);
        QCOMPARE(running.state(), QProcess::Running);
        end(running);
    }

    // A lock left by a program that is gone does not keep the folder: the next start takes it.
    void lockOfAnEndedProgramIsTakenOver() {
        auto first = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::handTo(mApp, {}, 1000), 30000);
        end(*first);
        QVERIFY(QFileInfo::exists(SingleInstance::lockPath(mApp)));
        SingleInstance next(mApp);
        QCOMPARE(next.start({}, 2000), SingleInstance::Role::First);
    }
};

QTEST_GUILESS_MAIN(TestOneProgram)
#include "tst_oneprogram.moc"
