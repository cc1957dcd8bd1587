#include "admin/AdminFixture.h"
#include "platform/ScriptedMessages.h"
#include "platform/Shell.h"
#include "updater/UpdateInstaller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using namespace AdminFixture;

namespace {
// An application folder with a program, a help page and data that no package may touch.
bool layOut(const QString &app) {
    return writeFile(app + QStringLiteral("vantrel"), "old program") &&
           writeFile(app + QStringLiteral("Help/ContractPHelp.htm"), "old help") &&
           writeFile(app + QStringLiteral("DB/ZYDB.dat"), "the user's data") &&
           QDir().mkpath(app + QStringLiteral("Update"));
}
} // namespace

class TestUpdater : public QObject {
    Q_OBJECT
private:
    ScriptedMessages mMessages;
    RecordingShell mShell;

private Q_SLOTS:
    void init() {
        mMessages.clear();
        mShell = RecordingShell();
        Messages::setInstance(&mMessages);
        Shell::setInstance(&mShell);
    }
    void cleanup() {
        Messages::setInstance(nullptr);
        Shell::setInstance(nullptr);
    }

    void packageInstallsAndApplicationRestarts() {
        QTemporaryDir dir;
        const QString app = dir.path() + QLatin1Char('/');
        QVERIFY(layOut(app));
        QVERIFY(makeZip(app + QStringLiteral("Update/vantrel-2.1.zip"), {{"vantrel", "new program", S_IFREG | 0755},
                                                                         {"Help/ContractPHelp.htm", "new help"},
                                                                         {"Help/images/main.png", "picture"}}));
        UpdateInstaller installer(app);
        QCOMPARE(installer.run(1000), UpdateInstaller::Outcome::Installed);
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mShell.mPrograms, QStringList{app + QStringLiteral("vantrel")});
        QCOMPARE(readFile(app + QStringLiteral("vantrel")), QByteArray("new program"));
        QVERIFY(QFileInfo(app + QStringLiteral("vantrel")).isExecutable());
        QCOMPARE(readFile(app + QStringLiteral("Help/ContractPHelp.htm")), QByteArray("new help"));
        QCOMPARE(readFile(app + QStringLiteral("Help/images/main.png")), QByteArray("picture"));
        QCOMPARE(readFile(app + QStringLiteral("DB/ZYDB.dat")), QByteArray("the user's data"));
        // Installed once: the next run finds nothing.
        QVERIFY(installer.findPackage().isEmpty());
        QCOMPARE(QDir(app + QStringLiteral("Update/Installed")).entryList(QDir::Files).size(), 1);
    }

    void damagedPackageChangesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("writes into DB") << QStringLiteral("db");
        QTest::newRow("parent entry") << QStringLiteral("parent");
        QTest::newRow("wrong CRC") << QStringLiteral("crc");
        QTest::newRow("not a ZIP") << QStringLiteral("garbage");
    }
    void damagedPackageChangesNothing() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString app = dir.path() + QLatin1Char('/');
        QVERIFY(layOut(app));
        const QString package = app + QStringLiteral("Update/update.zip");
        const QByteArray marker = "NEW-PROGRAM-CONTENT-0123456789";
        if (kind == QLatin1String("db")) {
            QVERIFY(makeZip(package, {{"vantrel", marker}, {"db/ZYDB.dat", marker}}));
        } else if (kind == QLatin1String("parent")) {
            QVERIFY(makeZip(package, {{"vantrel", marker}, {"Help/../../x", marker}}));
        } else if (kind == QLatin1String("crc")) {
            QVERIFY(makeZip(package, {{"Help/ContractPHelp.htm", "new help"}, {"vantrel", marker, 0, true}}));
            QByteArray bytes = readFile(package);
            bytes[bytes.indexOf(marker)] = 'X';
            QVERIFY(writeFile(package, bytes));
        } else {
            QVERIFY(writeFile(package, marker));
        }
        const auto before = tree(app);
        UpdateInstaller installer(app);
        QCOMPARE(installer.run(1000), UpdateInstaller::Outcome::Failed);
        QCOMPARE(tree(app), before);
        QCOMPARE(mMessages.shown().size(), 1);
        QVERIFY(mMessages.lastText().startsWith(QStringLiteral("升级包已损坏或不是本系统的升级包，未作任何改动。")));
        // The old program is there and comes back.
        QCOMPARE(mShell.mPrograms, QStringList{app + QStringLiteral("vantrel")});
    }

    void nothingToInstallIsSaidPlainly() {
        QTemporaryDir dir;
        const QString app = dir.path() + QLatin1Char('/');
        QVERIFY(layOut(app));
        QVERIFY(writeFile(app + QStringLiteral("Update/readme.txt"), "not a package"));
        const auto before = tree(app);
        UpdateInstaller installer(app);
        QCOMPARE(installer.run(1000), UpdateInstaller::Outcome::NothingToInstall);
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("没有找到可以安装的升级包，系统无需升级。\n"
                                                               "升级包（*.zip）应放在程序目录下的 Update 文件夹中。")});
        QCOMPARE(tree(app), before);
        QCOMPARE(mShell.mPrograms, QStringList{app + QStringLiteral("vantrel")});
    }

    // The package manager owns an installed program's files, also for root, who could write them.
    void packageManagedProgramIsLeftToThePackageManager() {
        QTemporaryDir dir;
        const QString app = dir.path() + QStringLiteral("/lib/vantrel/");
        QVERIFY(layOut(app));
        QVERIFY(writeFile(dir.path() + QStringLiteral("/share/vantrel/installed"), ""));
        QVERIFY(makeZip(app + QStringLiteral("Update/vantrel-2.1.zip"), {{"vantrel", "new program", S_IFREG | 0755}}));
        const auto before = tree(app);
        UpdateInstaller installer(app);
        QCOMPARE(installer.run(1000), UpdateInstaller::Outcome::ManagedByPackage);
        QCOMPARE(mMessages.texts(),
                 QStringList{QStringLiteral(
                     "本系统由软件包管理器安装，不能在这里升级。\n"
                     "请通过软件包管理器安装新版本，例如：sudo apt install ./vantrel_新版本_amd64.deb")});
        QCOMPARE(tree(app), before);
        QCOMPARE(mShell.mPrograms, QStringList{app + QStringLiteral("vantrel")});
    }

    // The real program: it waits for the running application, replaces it and starts the new one.
    void trevolanWaitsInstallsAndRestarts() {
        const QString trevolan = QCoreApplication::applicationDirPath() + QStringLiteral("/Trevolan");
        QVERIFY(QFileInfo::exists(trevolan));
        QTemporaryDir dir;
        const QString app = dir.path() + QLatin1Char('/');
        QVERIFY(layOut(app));
        QVERIFY(QFile::remove(app + QStringLiteral("vantrel")));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), app + QStringLiteral("vantrel")));
        QVERIFY(QFile::copy(trevolan, app + QStringLiteral("Trevolan")));
        QVERIFY(makeZip(
            app + QStringLiteral("Update/new.zip"),
            {{"vantrel", "#!/bin/sh\necho restarted > \"$(dirname \"$0\")/restarted.txt\"\n", S_IFREG | 0755}}));

        QProcess running;
        running.start(app + QStringLiteral("vantrel"), {QStringLiteral("1.5")});
        QVERIFY(running.waitForStarted());
        QElapsedTimer timer;
        timer.start();
        QProcess updater;
        updater.start(app + QStringLiteral("Trevolan"), {});
        QVERIFY(updater.waitForFinished(20000));
        QCOMPARE(updater.exitCode(), 0);
        QVERIFY(timer.elapsed() >= 1000);
        QVERIFY(running.waitForFinished(1000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(app + QStringLiteral("restarted.txt")), 5000);
        QCOMPARE(readFile(app + QStringLiteral("DB/ZYDB.dat")), QByteArray("the user's data"));
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
