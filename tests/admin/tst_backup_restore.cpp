#include "admin/AdminFixture.h"
#include "app/admin/AdminCommands.h"
#include "app/admin/DatabaseBackup.h"
#include "app/admin/DatabaseRestore.h"
#include "archive/ZipArchiveWriter.h"
#include "platform/Clock.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "support/TempAppFolder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace AdminFixture;

namespace {
const QString Restored = QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。");
const QString RestoreFailed =
    QStringLiteral("数据文件还原失败，确认选择的文件是本系统自动升级文件，或该自动升级文件已损坏！\n"
                   "软件将关闭，请手工重新启动系统。");
const QString BackedUp = QStringLiteral("数据文件备份成功！");
const QString BackupFailed = QStringLiteral("备份文件发生错误，确认目标位置可写入！");

QStringList entryNames(const QString &archive) {
    QStringList names;
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &code);
    if (!za)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names << QString::fromUtf8(zip_get_name(za, quint64(i), 0));
    zip_discard(za);
    names.sort();
    return names;
}
} // namespace

class TestBackupRestore : public QObject {
    Q_OBJECT
private:
    ScriptedMessages mMessages;
    FixedClock mClock{QDateTime(QDate(2026, 3, 7), QTime(9, 30))};
    QTemporaryDir mOutside;
    int mEnded = 0;

    std::function<void()> endRecorder() {
        return [this] { ++mEnded; };
    }

    // The database file of a backup of the sample, as bytes to build archives from.
    QByteArray backupDatabaseBytes() {
        const QString good = makeBackup();
        QTemporaryDir unpack;
        QProcess::execute(QStringLiteral("unzip"), {QStringLiteral("-qq"), good, QStringLiteral("ZYDB.dat"),
                                                    QStringLiteral("-d"), unpack.path()});
        return readFile(unpack.filePath(QStringLiteral("ZYDB.dat")));
    }

    // A backup of a filled application folder, copied to a place that outlives the folder.
    QString makeBackup() {
        TempAppFolder source;
        if (!source.isValid() || !fillSample(source))
            return {};
        const QString archive = mOutside.filePath(QStringLiteral("source.HTBK"));
        QFile::remove(archive);
        return DatabaseBackup::write(Database::instance(), archive) ? archive : QString();
    }

private Q_SLOTS:
    void init() {
        Messages::setInstance(&mMessages);
        Clock::setInstance(&mClock);
        mMessages.clear();
        mEnded = 0;
    }

    void backupThenRestoreIntoAnotherFolder() {
        QMap<QString, QByteArray> sourceDocuments;
        QStringList sourceRows;
        QString archive;
        {
            TempAppFolder source;
            QVERIFY(fillSample(source));
            sourceRows = contractRows();
            mMessages.answerFileName(source.file(QStringLiteral("Bak/20260307.HTBK")));
            BackupDatabase(Database::instance());
            QCOMPARE(mMessages.texts(), QStringList({QStringLiteral(" 存储合同生成数据库"), BackedUp}));
            QCOMPARE(mMessages.details(), QStringList({source.file(QStringLiteral("Bak/20260307.HTBK")),
                                                       QStringLiteral("合同生成数据库备份(*.HTBK)")}));
            archive = mOutside.filePath(QStringLiteral("round.HTBK"));
            QFile::remove(archive);
            QVERIFY(QFile::copy(source.file(QStringLiteral("Bak/20260307.HTBK")), archive));
            sourceDocuments = tree(source.file(QStringLiteral("DB")));
            sourceDocuments.remove(QStringLiteral("ZYDB.dat"));
        }
        QCOMPARE(entryNames(archive),
                 QStringList({QStringLiteral("ContractFile/1.Doc"), QStringLiteral("ContractFile/2.Doc"),
                              QStringLiteral("ContractFile/存档/旧合同.Doc"), QStringLiteral("Empty.Doc"),
                              QStringLiteral("ModelFiles/00010001.Doc"), QStringLiteral("ZYDB.dat")}));
        const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
        if (!unzip.isEmpty())
            QCOMPARE(QProcess::execute(unzip, {QStringLiteral("-tqq"), archive}), 0);

        TempAppFolder target;
        QVERIFY(writeFile(target.file(QStringLiteral("DB/ContractFile/9.Doc")), "only in the target"));
        QVERIFY(writeFile(target.file(QStringLiteral("DB/ContractFile/1.Doc")), "replaced"));
        mMessages.clear();
        mMessages.answerFileName(archive);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        QCOMPARE(mMessages.texts(), QStringList({QStringLiteral("选择合同生成数据备份文件"), Restored}));
        QCOMPARE(mMessages.details(),
                 QStringList({target.file(QStringLiteral("Bak")), QStringLiteral("合同生成系统备份(*.HTBK)")}));
        QCOMPARE(mEnded, 1);
        QVERIFY(!Database::instance().isConnected());

        Database::create(target.path());
        QCOMPARE(contractRows(), sourceRows);
        QCOMPARE(Database::instance().readLogPass(), std::optional<QString>(QStringLiteral("秘密123")));
        QMap<QString, QByteArray> restored = tree(target.file(QStringLiteral("DB")));
        restored.remove(QStringLiteral("ZYDB.dat"));
        // DB holds the archive's documents and no other: the target's own 9.Doc went into the safety backup.
        QVERIFY(!restored.contains(QStringLiteral("ContractFile/9.Doc")));
        QCOMPARE(restored, sourceDocuments);
        QCOMPARE(entryNames(target.file(QStringLiteral("Bak/恢复前自动备份_20260307_093000.HTBK"))),
                 QStringList({QStringLiteral("ContractFile/1.Doc"), QStringLiteral("ContractFile/9.Doc"),
                              QStringLiteral("ZYDB.dat")}));
        // No staging or undo folder is left beside DB.
        QCOMPARE(QDir(target.path()).entryList({QStringLiteral("DB.*")}, QDir::AllEntries), QStringList());
    }

    void archiveOfTheZipProgramRestores() {
        const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
        if (zip.isEmpty())
            QSKIP("no zip program");
        const QString archive = mOutside.filePath(QStringLiteral("byzip.HTBK"));
        QFile::remove(archive);
        QStringList rows;
        {
            TempAppFolder source;
            QVERIFY(fillSample(source));
            rows = contractRows();
            Database::destroy();
            QProcess p;
            p.setWorkingDirectory(source.file(QStringLiteral("DB")));
            p.start(zip, {QStringLiteral("-qr"), archive, QStringLiteral(".")});
            QVERIFY(p.waitForFinished() && p.exitCode() == 0);
        }
        TempAppFolder target;
        Database::instance().close();
        QString error;
        QVERIFY2(DatabaseRestore::restore(archive, target.path(), &error), qPrintable(error));
        Database::create(target.path());
        QCOMPARE(contractRows(), rows);
        QCOMPARE(readFile(target.file(QStringLiteral("DB/ContractFile/存档/旧合同.Doc"))), QByteArray("old contract"));
    }

    void archiveSavedInsideDBDoesNotHoldItself() {
        TempAppFolder app;
        QVERIFY(fillSample(app));
        const QString archive = app.file(QStringLiteral("DB/我的备份.HTBK"));
        QVERIFY(writeFile(archive, "an earlier file of that name"));
        mMessages.answerFileName(app.file(QStringLiteral("DB/我的备份")));
        mMessages.answerQuestion(true);
        BackupDatabase(Database::instance());
        // The extension is added after the dialog, so the replacement of the earlier file is asked here.
        QCOMPARE(mMessages.shown().at(1).kind, ScriptedMessages::Kind::Question);
        QCOMPARE(mMessages.lastText(), BackedUp);
        QVERIFY(!entryNames(archive).isEmpty());
        QVERIFY(!entryNames(archive).contains(QStringLiteral("我的备份.HTBK")));
        QVERIFY(entryNames(archive).contains(QStringLiteral("ZYDB.dat")));
    }

    // A backup double-clicked in the file manager starts the program with its path: no file dialog, but the user
    // confirms that his data is to be replaced.
    void archiveGivenAtStartIsConfirmedFirst_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed: restored") << true;
        QTest::newRow("declined: nothing changes") << false;
    }
    void archiveGivenAtStartIsConfirmedFirst() {
        QFETCH(bool, confirmed);
        const QString archive = makeBackup();
        QVERIFY(!archive.isEmpty());
        TempAppFolder target;
        const QStringList before = contractRows();
        mMessages.answerQuestion(confirmed);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder(), archive);
        QCOMPARE(mMessages.shown().at(0).kind, ScriptedMessages::Kind::Question);
        QCOMPARE(mMessages.texts().at(0),
                 QStringLiteral("是否用备份文件“source.HTBK”还原数据？\n现有的数据将被备份中的数据替换。"));
        if (!confirmed) {
            QCOMPARE(mMessages.texts().size(), 1);
            QCOMPARE(mEnded, 0);
            QCOMPARE(contractRows(), before);
            return;
        }
        QCOMPARE(mMessages.texts(), QStringList({mMessages.texts().at(0), Restored}));
        QCOMPARE(mEnded, 1);
        Database::create(target.path());
        QVERIFY(contractRows() != before);
    }

    void cancelledDialogsDoNothing() {
        TempAppFolder app;
        const auto before = tree(app.file(QStringLiteral("DB")));
        BackupDatabase(Database::instance());
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        QCOMPARE(mEnded, 0);
        QVERIFY(Database::instance().isConnected());
        QCOMPARE(tree(app.file(QStringLiteral("DB"))), before);

        // A wrong password (the check shows its own message) asks for no file at all.
        mMessages.clear();
        RestoreDatabase(
            Database::instance(), [] { return false; }, endRecorder());
        QVERIFY(mMessages.shown().isEmpty());
        QCOMPARE(mEnded, 0);
    }

    void failedBackupLeavesNoArchive_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("earlierFile");
        QTest::newRow("missing folder") << QStringLiteral("no such folder/x.HTBK") << false;
        QTest::newRow("disk full, earlier archive kept") << QStringLiteral("Bak/full.HTBK") << true;
        QTest::newRow("disk full, no earlier archive") << QStringLiteral("Bak/full.HTBK") << false;
    }
    void failedBackupLeavesNoArchive() {
        QFETCH(QString, target);
        QFETCH(bool, earlierFile);
        TempAppFolder app;
        QVERIFY(fillSample(app));
        const QString path = app.file(target);
        if (earlierFile)
            QVERIFY(writeFile(path, "earlier backup"));
        const bool diskFull = target.startsWith(QLatin1String("Bak/"));
        rlimit saved{};
        if (diskFull) {
            // Random bytes do not compress: the archive outgrows the file size limit like a full disk.
            QByteArray big(2 << 20, Qt::Uninitialized);
            for (char &c : big)
                c = char(QRandomGenerator::global()->generate());
            QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/big.Doc")), big));
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 1 << 20;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        mMessages.answerFileName(path);
        BackupDatabase(Database::instance());
        if (diskFull)
            setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(mMessages.lastText(), BackupFailed);
        if (earlierFile)
            QCOMPARE(readFile(path), QByteArray("earlier backup"));
        else
            QVERIFY(!QFileInfo::exists(path));
        if (diskFull)
            QCOMPARE(QDir(app.file(QStringLiteral("Bak"))).entryList(QDir::Files),
                     earlierFile ? QStringList{QStringLiteral("full.HTBK")} : QStringList());
    }

    // The database copy is as large as the database: it is made beside the archive, not in the system's
    // temporary folder (here one that cannot be used at all), and nothing of it is left behind.
    void databaseCopyIsStagedBesideTheArchive() {
        TempAppFolder app;
        QVERIFY(fillSample(app));
        const QByteArray savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", mOutside.filePath(QStringLiteral("no such folder")).toLocal8Bit());
        mMessages.answerFileName(app.file(QStringLiteral("Bak/20260307.HTBK")));
        BackupDatabase(Database::instance());
        qputenv("TMPDIR", savedTmp);
        QCOMPARE(mMessages.lastText(), BackedUp);
        QVERIFY(entryNames(app.file(QStringLiteral("Bak/20260307.HTBK"))).contains(QStringLiteral("ZYDB.dat")));
        const QDir bak(app.file(QStringLiteral("Bak")));
        QCOMPARE(bak.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("20260307.HTBK")});
    }

    // The new archive takes the earlier one's name only after it was read back; one that does not read back is
    // thrown away and the earlier archive stays.
    void archiveReplacesTheEarlierOneOnlyWhenSound_data() {
        QTest::addColumn<bool>("sound");
        QTest::newRow("reads back") << true;
        QTest::newRow("does not read back") << false;
    }
    void archiveReplacesTheEarlierOneOnlyWhenSound() {
        QFETCH(bool, sound);
        QTemporaryDir folder;
        const QString archive = folder.filePath(QStringLiteral("备份.HTBK"));
        QVERIFY(writeFile(archive, "earlier backup"));
        QVERIFY(writeFile(folder.filePath(QStringLiteral("source/a.Doc")), "document"));
        QByteArray targetWhenChecked;
        QString checkedFile;
        const Status result = ZipArchiveWriter::write(
            archive, {{QStringLiteral("a.Doc"), folder.filePath(QStringLiteral("source/a.Doc"))}},
            [&](const QString &file, const QList<ZipArchiveWriter::Source> &sources) {
                targetWhenChecked = readFile(archive);
                checkedFile = file;
                return sound ? ZipArchiveWriter::readBack(file, sources) : Status::failure(QStringLiteral("unsound"));
            });
        const bool written = result.ok;
        QCOMPARE(written, sound);
        QCOMPARE(targetWhenChecked, QByteArray("earlier backup"));
        QCOMPARE(QFileInfo(checkedFile).absolutePath(), QFileInfo(archive).absolutePath());
        if (sound)
            QCOMPARE(entryNames(archive), QStringList{QStringLiteral("a.Doc")});
        else
            QCOMPARE(readFile(archive), QByteArray("earlier backup"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("备份.HTBK")});
    }

    // Before a restore replaces DB, the current DB goes into Bak/ under the date and time, so a restore picked by
    // mistake can be undone by restoring that archive.
    void restoreKeepsTheCurrentStateInBak() {
        const QString chosen = makeBackup();
        QVERIFY(!chosen.isEmpty());
        TempAppFolder app;
        QVERIFY(fillSample(app));
        QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?,?,?)"),
                         {QStringLiteral("00010001"), QStringLiteral("只在当前数据中"), QStringLiteral("4000")}));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/4.Doc")), "contract four"));
        const QStringList currentRows = contractRows();

        mMessages.answerFileName(chosen);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        QCOMPARE(mMessages.texts(), QStringList({QStringLiteral("选择合同生成数据备份文件"), Restored}));
        QCOMPARE(mEnded, 1);
        const QString safety = app.file(QStringLiteral("Bak/恢复前自动备份_20260307_093000.HTBK"));
        QVERIFY(QFileInfo::exists(safety));

        // Restoring the safety archive brings the state before the restore back.
        QString error;
        QVERIFY2(DatabaseRestore::restore(safety, app.path(), &error), qPrintable(error));
        Database::create(app.path());
        QCOMPARE(contractRows(), currentRows);
        QCOMPARE(readFile(app.file(QStringLiteral("DB/ContractFile/4.Doc"))), QByteArray("contract four"));
    }

    void failedSafetyBackupStopsTheRestore() {
        const QString chosen = makeBackup();
        QVERIFY(!chosen.isEmpty());
        TempAppFolder app;
        QVERIFY(fillSample(app));
        // A file where the folder Bak should be: no archive can be written there.
        QVERIFY(QDir(app.file(QStringLiteral("Bak"))).removeRecursively());
        QVERIFY(writeFile(app.file(QStringLiteral("Bak")), "in the way"));
        const auto before = tree(app.file(QStringLiteral("DB")));

        mMessages.answerFileName(chosen);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
        QVERIFY2(mMessages.lastText().startsWith(QStringLiteral("还原前未能备份当前数据，数据没有还原！")),
                 qPrintable(mMessages.lastText()));
        QCOMPARE(mEnded, 0);
        QVERIFY(Database::instance().isConnected());
        QCOMPARE(tree(app.file(QStringLiteral("DB"))), before);
        QCOMPARE(contractRows().size(), 3);
    }

    // A restore takes the data and nothing else: an archive with any other entry (a connection file that would
    // send the program to another server, a file of another folder) is refused whole, and the entry is named.
    void archiveWithAnythingButTheDataIsRefused_data() {
        QTest::addColumn<QByteArray>("entry");
        for (const char *entry : {"Server.ini", "DB/Server.ini", "Bak/20260101.HTBK", "notes.txt", "ModelFiles",
                                  "contractfile/1.Doc", "Help/ContractPHelp.htm", "ZYDB.dat-backup"})
            QTest::newRow(entry) << QByteArray(entry);
    }
    void archiveWithAnythingButTheDataIsRefused() {
        QFETCH(QByteArray, entry);
        const QByteArray database = backupDatabaseBytes();
        QVERIFY(!database.isEmpty());
        TempAppFolder app;
        QVERIFY(fillSample(app));
        const QString archive = mOutside.filePath(QStringLiteral("foreign.HTBK"));
        QVERIFY(makeZip(archive, {{"ZYDB.dat", database},
                                  {"ContractFile/1.Doc", "one"},
                                  {entry, "[server]\nhost=elsewhere.example.com\n"}}));
        const auto before = tree(app.path());
        mMessages.answerFileName(archive);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        const QString text = mMessages.lastText();
        QVERIFY2(text.startsWith(RestoreFailed.section(QLatin1Char('\n'), 0, 0)), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("“%1”").arg(QString::fromUtf8(entry))), qPrintable(text));
        QVERIFY(text.endsWith(RestoreFailed.section(QLatin1Char('\n'), 1, 1)));
        QCOMPARE(tree(app.path()), before);
    }

    // The contracts are the owner's alone: what a restore unpacks gets owner-only modes whatever the archive
    // stored, and the database it restores too.
    void restoredFilesIgnoreTheArchiveModes() {
        const QByteArray database = backupDatabaseBytes();
        QVERIFY(!database.isEmpty());
        TempAppFolder app;
        const QString archive = mOutside.filePath(QStringLiteral("modes.HTBK"));
        QVERIFY(makeZip(archive, {{"ZYDB.dat", database, S_IFREG | 0666},
                                  {"ContractFile/1.Doc", "one", S_IFREG | 0644},
                                  {"ContractFile/存档/", "", S_IFDIR | 0777},
                                  {"ContractFile/存档/2.Doc", "two", S_IFREG | 0755},
                                  {"ModelFiles/00010001.Doc", "template", S_IFREG | 0604}}));
        const mode_t saved = ::umask(022);
        Database::instance().close();
        QString error;
        const bool restored = DatabaseRestore::restore(archive, app.path(), &error);
        ::umask(saved);
        QVERIFY2(restored, qPrintable(error));
        const auto mode = [&](const char *relative) {
            struct stat st {};
            return ::stat(QFile::encodeName(app.file(QString::fromUtf8(relative))).constData(), &st) == 0
                       ? int(st.st_mode & 07777)
                       : -1;
        };
        for (const char *file :
             {"DB/ZYDB.dat", "DB/ContractFile/1.Doc", "DB/ContractFile/存档/2.Doc", "DB/ModelFiles/00010001.Doc"})
            QVERIFY2(mode(file) == 0600, file);
        QCOMPARE(mode("DB/ContractFile/存档"), 0700);
    }

    void hostileArchivesChangeNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const char *rows[][2] = {
            {"parent entry ../x", "unsafe path component"},
            {"absolute entry", "absolute name"},
            {"backslash entry a\\..\\b", "backslash"},
            {"nested ..", "unsafe path component"},
            {"drive letter", "drive letter"},
            {"symlink entry", "link entry"},
            {"truncated archive", "cannot open archive"},
            {"wrong CRC", "entry ContractFile/1.Doc"},
            {"no ZYDB.dat", "no database file"},
            {"ZYDB.dat not a database", "database"},
            {"not a ZIP file", "cannot open archive"},
            {"file where DB has a folder", "folder is in the way"},
            {"DB sub-folder is a link", "link in the way"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }
    void hostileArchivesChangeNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString good = makeBackup();
        QVERIFY(!good.isEmpty());
        const QByteArray database = [&] {
            QTemporaryDir unpack;
            QProcess::execute(QStringLiteral("unzip"), {QStringLiteral("-qq"), good, QStringLiteral("ZYDB.dat"),
                                                        QStringLiteral("-d"), unpack.path()});
            return readFile(unpack.filePath(QStringLiteral("ZYDB.dat")));
        }();
        QVERIFY(!database.isEmpty());

        TempAppFolder app;
        QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/1.Doc")), "kept"));
        QTemporaryDir outsideDir;
        const QString outside = outsideDir.filePath(QStringLiteral("abs"));
        const QString archive = mOutside.filePath(QStringLiteral("hostile.HTBK"));
        const ZipEntry db{"ZYDB.dat", database};
        const QByteArray marker = "HOSTILE-CONTENT-0123456789";

        if (kind.startsWith(QLatin1String("parent")))
            QVERIFY(makeZip(archive, {db, {"../x", marker}}));
        else if (kind.startsWith(QLatin1String("absolute")))
            QVERIFY(makeZip(archive, {db, {QFile::encodeName(outside), marker}}));
        else if (kind.startsWith(QLatin1String("backslash")))
            QVERIFY(makeZip(archive, {db, {"a\\..\\..\\x", marker}}));
        else if (kind.startsWith(QLatin1String("nested")))
            QVERIFY(makeZip(archive, {db, {"ContractFile/../../x", marker}}));
        else if (kind.startsWith(QLatin1String("drive")))
            QVERIFY(makeZip(archive, {db, {"C:/x", marker}}));
        else if (kind.startsWith(QLatin1String("symlink")))
            QVERIFY(makeZip(archive, {db,
                                      {"ContractFile/link", QFile::encodeName(outsideDir.path()), S_IFLNK | 0777},
                                      {"ContractFile/link/abs", marker}}));
        else if (kind.startsWith(QLatin1String("truncated"))) {
            QVERIFY(makeZip(archive, {db, {"ContractFile/1.Doc", marker}}));
            QFile f(archive);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(f.size() / 2));
        } else if (kind.startsWith(QLatin1String("wrong CRC"))) {
            QVERIFY(makeZip(archive, {db, {"ContractFile/1.Doc", marker, 0, true}}));
            QByteArray bytes = readFile(archive);
            const qsizetype at = bytes.indexOf(marker);
            QVERIFY(at > 0);
            bytes[at] = 'X';
            QVERIFY(writeFile(archive, bytes));
        } else if (kind.startsWith(QLatin1String("no ZYDB")))
            QVERIFY(makeZip(archive, {{"ContractFile/1.Doc", marker}}));
        else if (kind.startsWith(QLatin1String("file where"))) {
            // A document is moved aside and two files are moved in before the third fails; all must go back.
            QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/sub/3.Doc")), "kept too"));
            QVERIFY(makeZip(archive, {db, {"ContractFile/1.Doc", marker}, {"ContractFile/sub", marker}}));
        } else if (kind.startsWith(QLatin1String("DB sub-folder"))) {
            QVERIFY(QDir(app.file(QStringLiteral("DB/ContractFile"))).removeRecursively());
            QVERIFY(QFile::link(outsideDir.path(), app.file(QStringLiteral("DB/ContractFile"))));
            QVERIFY(makeZip(archive, {db, {"ContractFile/abs", marker}}));
        } else if (kind.startsWith(QLatin1String("ZYDB.dat not")))
            QVERIFY(makeZip(archive, {{"ZYDB.dat", marker}, {"ContractFile/1.Doc", marker}}));
        else
            QVERIFY(writeFile(archive, marker));

        const auto appBefore = tree(app.path());
        Database::instance().close();
        QString error;
        QVERIFY(!DatabaseRestore::restore(archive, app.path(), &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(tree(app.path()), appBefore);

        mMessages.answerFileName(archive);
        RestoreDatabase(
            Database::instance(), [] { return true; }, endRecorder());
        QCOMPARE(mMessages.lastText(), RestoreFailed);
        QCOMPARE(mEnded, 1);
        QCOMPARE(tree(app.path()), appBefore);
        QVERIFY(!QFileInfo::exists(app.file(QStringLiteral("x"))));
        QVERIFY(!QFileInfo::exists(app.file(QStringLiteral("../x"))));
        QVERIFY(!QFileInfo::exists(outside));
        QVERIFY(tree(outsideDir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backup_restore.moc"
