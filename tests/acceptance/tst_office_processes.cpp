// No office the program started outlives it, whichever way the program ends: a normal close, the restore that
// ends the process at once, a crash, a termination from outside. Each way is taken by a child process of this
// test, which starts an office and leaves it to the program's exit guards (as a window that went down without
// ending its office would); the offices are then counted in /proc by the pipe name that holds the child's pid.

#include "app/MainWindow.h"
#include "office/LibreOfficeWordApp.h"
#include "office/OfficeProcesses.h"
#include "support/Processes.h"
#include "support/TempAppFolder.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Never ended by its owner; held here so that it is no leak to the sanitizers, only an office left running.
LibreOfficeWordApp *gLeftRunning = nullptr;

} // namespace

class TestOfficeProcesses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void officesEndWithTheProgram_data();
    void officesEndWithTheProgram();
};

void TestOfficeProcesses::officesEndWithTheProgram_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("endsNormally");
    QTest::newRow("main window closed") << u"close"_s << true;
    QTest::newRow("restore ends the process at once") << u"restore"_s << true;
    QTest::newRow("a window crashes") << u"crash"_s << false;
    QTest::newRow("terminated from outside") << u"terminate"_s << false;
}

void TestOfficeProcesses::officesEndWithTheProgram() {
    QFETCH(QString, way);
    QFETCH(bool, endsNormally);
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QCoreApplication::applicationFilePath(), {u"--end-by"_s, way});
    QVERIFY(program.waitForStarted());
    const QString offices = u"pipe,name=vantrel-%1-"_s.arg(program.processId());
    const auto cleanUp = qScopeGuard([&] { killAll(processesWith(offices)); });
    QVERIFY(program.waitForReadyRead(180000));
    QCOMPARE(program.readLine().trimmed(), QByteArray("ready"));
    QVERIFY2(!processesWith(offices).isEmpty(), "the child started no office");

    if (way == u"terminate"_s)
        program.terminate();
    else
        program.write("go\n");
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, endsNormally);
    QTRY_VERIFY2_WITH_TIMEOUT(processesWith(offices).isEmpty(), qPrintable(processesWith(offices).join(u' ')), 15000);
}

// The child: an application with the program's exit guards and an office left running, then the way out.
static int endBy(int argc, char **argv, const QString &way) {
    QApplication app(argc, argv);
    TempAppFolder folder;
    if (!folder.isValid())
        return 2;
    OfficeProcesses::installExitGuards();
    gLeftRunning = new LibreOfficeWordApp(LibreOfficeWordApp::Display::Headless);
    if (!gLeftRunning->connect())
        return 3;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char line[16];
    if (way != u"terminate"_s && !std::fgets(line, sizeof line, stdin))
        return 4;

    MainCommands commands;
    commands.database = &folder.database();
    commands.restore = [](const std::function<bool()> &, const std::function<void()> &endProcess, const QString &) {
        endProcess();
    };
    MainWindow frame(commands);
    frame.terminate = [] {};
    if (way == u"restore"_s)
        QTimer::singleShot(0, &frame, &MainWindow::restoreBackup);
    else if (way == u"crash"_s)
        QTimer::singleShot(0, &frame, [] { ::raise(SIGSEGV); });
    else if (way == u"close"_s)
        QTimer::singleShot(0, &frame, &QWidget::close);
    frame.show();
    return QApplication::exec();
}

int main(int argc, char **argv) {
    if (argc > 2 && qstrcmp(argv[1], "--end-by") == 0)
        return endBy(argc, argv, QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestOfficeProcesses test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_office_processes.moc"
