#include "store/AppFolder.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
int modeOf(const QString &path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

int categoryCount(const QString &folder) {
    Database &dm = Database::create(folder);
    const int n = dm.GetDataBySQL(QStringLiteral("SELECT COUNT(*) FROM TContractClass")).toInt();
    Database::destroy();
    return n;
}
} // namespace

// A program tree as the package lays it out: <prefix>/lib/vantrel holds the programs, <prefix>/share/vantrel the
// files an installed data folder starts from.
class tst_AppFolder : public QObject {
    Q_OBJECT

    QTemporaryDir mPrefix;
    QString mPrograms;
    QString mShare;

private Q_SLOTS:
    void init() {
        QVERIFY(mPrefix.isValid());
        mPrograms = mPrefix.filePath(QStringLiteral("lib/vantrel"));
        mShare = mPrefix.filePath(QStringLiteral("share/vantrel/"));
        QVERIFY(QDir().mkpath(mPrograms));
        QVERIFY(writeFile(mShare + QStringLiteral("Empty.Doc"), "blank"));
        QVERIFY(writeFile(mShare + QStringLiteral("Help/ContractPHelp.htm"), "help 1"));
        QVERIFY(writeFile(mShare + QStringLiteral("Help/images/main.png"), "png"));
        QVERIFY(writeFile(mShare + QStringLiteral("BasicExcel/sample.xls"), "xls"));
        // The package installs its files read-only for the user.
        QFile::setPermissions(mShare + QStringLiteral("Empty.Doc"), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    }
    void cleanup() {
        QFile::setPermissions(mPrograms, QFile::permissions(mPrograms) | QFileDevice::WriteOwner);
        QDir(mPrefix.path()).removeRecursively();
        QDir().mkpath(mPrefix.path());
    }

    void mode_data() {
        QTest::addColumn<bool>("marker");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("expected");
        QTest::newRow("writable folder, no marker: portable") << false << false << int(AppFolder::Mode::Portable);
        QTest::newRow("package marker: installed, even where root may write")
            << true << false << int(AppFolder::Mode::Installed);
        QTest::newRow("read-only folder: installed") << false << true << int(AppFolder::Mode::Installed);
    }
    void mode() {
        QFETCH(bool, marker);
        QFETCH(bool, readOnly);
        QFETCH(int, expected);
        if (readOnly && geteuid() == 0)
            QSKIP("root writes into read-only folders");
        if (marker)
            QVERIFY(writeFile(mShare + AppFolder::MarkerFile, ""));
        if (readOnly)
            QVERIFY(QFile::setPermissions(mPrograms, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QCOMPARE(AppFolder::shareFolder(mPrograms), mShare);
        QCOMPARE(int(AppFolder::modeOf(mPrograms)), expected);
    }

    void portableProgramWorksInItsOwnFolder() {
        QCOMPARE(AppFolder::forProgram(mPrograms), mPrograms + QLatin1Char('/'));
        // The portable folder is laid out by the setup script, not behind the user's back.
        QVERIFY(!QFileInfo::exists(mPrograms + QStringLiteral("/DB")));
    }

    void installedProgramLivesInTheDataHome() {
        QTemporaryDir home;
        QVERIFY(writeFile(mShare + AppFolder::MarkerFile, ""));
        const QByteArray before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        const QString folder = AppFolder::forProgram(mPrograms);
        qputenv("XDG_DATA_HOME", before);
        QCOMPARE(folder, home.path() + QStringLiteral("/Vantrel/"));
        QVERIFY(QFileInfo::exists(folder + Database::DatabaseFile));
        QCOMPARE(readFile(folder + Database::EmptyDoc), QByteArray("blank"));
        QVERIFY(!QFileInfo::exists(mPrograms + QStringLiteral("/DB")));
    }

    // Other users of the machine read no contract: the installed data home is its owner's alone, also one an
    // earlier version left open; a portable folder keeps the modes its owner gave it, but the database the program
    // creates there is private too. The umask is the usual one, as in a user's session.
    void dataIsTheOwnersAlone_data() {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed data home") << true;
        QTest::newRow("portable folder") << false;
    }
    void dataIsTheOwnersAlone() {
        QFETCH(bool, installed);
        QTemporaryDir home;
        const QString folder = AppFolder::installedFolder(home.path());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        const mode_t saved = ::umask(022);
        QString error;
        const bool ok =
            installed ? AppFolder::layOut(folder, mShare, {}, &error) : Schema::layOutAppFolder(folder, &error);
        ::umask(saved);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(modeOf(folder), installed ? 0700 : 0755);
        QCOMPARE(modeOf(folder + Database::DatabaseFile), 0600);
        if (installed) {
            for (const char *sub : {"DB", "Bak"})
                QVERIFY2(modeOf(folder + QLatin1String(sub)) == 0700, sub);
            for (const char *file : {"DB/Empty.Doc", "Help/ContractPHelp.htm", "BasicExcel/sample.xls"})
                QVERIFY2(modeOf(folder + QLatin1String(file)) == 0600, file);
        }
    }

    void firstStartLaysOutSecondLeavesUserDataAlone() {
        QTemporaryDir home;
        const QString folder = AppFolder::installedFolder(home.path());
        int demos = 0;
        const auto demo = [&demos](const QString &target) {
            ++demos;
            Database &dm = Database::create(target);
            QSqlQuery q(dm.connection());
            const bool ok =
                execBound(q, QStringLiteral("INSERT INTO TContractClass (TypeCode, TypeName) VALUES (?, ?)"),
                          {QStringLiteral("0001"), QStringLiteral("房屋租赁")});
            Database::destroy();
            return ok;
        };

        QString error;
        QVERIFY2(AppFolder::layOut(folder, mShare, demo, &error), qPrintable(error));
        QCOMPARE(demos, 1);
        QCOMPARE(categoryCount(folder), 1);
        for (const char *sub : {"DB/ModelFiles", "DB/ContractFile", "Bak", "Help/images", "BasicExcel"})
            QVERIFY2(QFileInfo(folder + QLatin1String(sub)).isDir(), sub);
        QCOMPARE(readFile(folder + Database::EmptyDoc), QByteArray("blank"));
        QCOMPARE(readFile(folder + QStringLiteral("Help/images/main.png")), QByteArray("png"));
        QCOMPARE(readFile(folder + QStringLiteral("BasicExcel/sample.xls")), QByteArray("xls"));
        QVERIFY(QFileInfo(folder + Database::EmptyDoc).isWritable());

        // The user works: a second category, an edited sample and blank document, a document of his own. Then the
        // package is upgraded with new shared files.
        Database &dm = Database::create(folder);
        QSqlQuery q(dm.connection());
        QVERIFY(execBound(q, QStringLiteral("INSERT INTO TContractClass (TypeCode, TypeName) VALUES (?, ?)"),
                          {QStringLiteral("0002"), QStringLiteral("借款")}));
        Database::destroy();
        QVERIFY(writeFile(folder + QStringLiteral("BasicExcel/sample.xls"), "edited by the user"));
        QVERIFY(writeFile(folder + Database::EmptyDoc, "the user's own blank"));
        QVERIFY(writeFile(folder + QStringLiteral("DB/ContractFile/1.Doc"), "contract"));
        QFile::setPermissions(mShare + QStringLiteral("Empty.Doc"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(writeFile(mShare + QStringLiteral("Empty.Doc"), "new blank"));
        QVERIFY(writeFile(mShare + QStringLiteral("BasicExcel/sample.xls"), "new xls"));
        QVERIFY(writeFile(mShare + QStringLiteral("Help/new.htm"), "new page"));

        QVERIFY2(AppFolder::layOut(folder, mShare, demo, &error), qPrintable(error));
        QCOMPARE(demos, 1);
        QCOMPARE(categoryCount(folder), 2);
        QCOMPARE(readFile(folder + QStringLiteral("BasicExcel/sample.xls")), QByteArray("edited by the user"));
        QCOMPARE(readFile(folder + Database::EmptyDoc), QByteArray("the user's own blank"));
        QCOMPARE(readFile(folder + QStringLiteral("DB/ContractFile/1.Doc")), QByteArray("contract"));
        // What the upgrade added and the user never had arrives.
        QCOMPARE(readFile(folder + QStringLiteral("Help/new.htm")), QByteArray("new page"));
    }
};

QTEST_GUILESS_MAIN(tst_AppFolder)
#include "tst_appfolder.moc"
