// One backup archive for both stores: a backup of the server restores into an embedded folder and the reverse, with
// every record and document as it was; a restore into the server is all or nothing.

#include "app/admin/AdminCommands.h"
#include "app/admin/DatabaseBackup.h"
#include "app/admin/DatabaseRestore.h"
#include "platform/Clock.h"
#include "platform/ScriptedMessages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"
#include "store/Schema.h"
#include "store/StoreCopy.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDirIterator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <sys/stat.h>
#include <zip.h>

namespace {

using Store = TempAppFolder::Store;

// Every row of every table of the open store, each as its values in column order.
QStringList dataRows() {
    QStringList rows;
    for (const QString &table : StoreCopy::tables()) {
        QSqlQuery q(Database::instance().connection());
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table)))
            return {QStringLiteral("unreadable ") + table};
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
            rows << table + QLatin1Char(':') + values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

// The template and contract documents of the open store by their path below the application folder.
QMap<QString, QByteArray> documents() {
    QMap<QString, QByteArray> out;
    Database &dm = Database::instance();
    if (dm.backend() == Database::Backend::Server) {
        QSqlQuery q(dm.connection());
        q.exec(QStringLiteral("SELECT Path, Content FROM TFile"));
        while (q.next())
            out.insert(q.value(0).toString(), q.value(1).toByteArray());
        return out;
    }
    for (const QString &folder : {Database::ModelFolder, Database::ContractFolder}) {
        QDirIterator it(dm.path(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            out.insert(DocumentStore::relativePath(file), readFile(file));
        }
    }
    return out;
}

// A document of the open store, on the server or in the folder.
bool addDocument(const QString &relative, const QByteArray &content) {
    return writeFile(Database::instance().path(relative), content) &&
           DocumentStore::put(relative) == DocumentStore::Outcome::Done;
}

// Categories, an indicator, records with a gap in their IDs and every value column filled (quotes, Chinese, empty),
// documents of every format with bytes no text would survive.
bool fill(TempAppFolder &app) {
    bool ok = app.addCategory(QStringLiteral("0001"), QStringLiteral("买卖合同")) &&
              app.addCategory(QStringLiteral("00010001"), QStringLiteral("设备采购"), QStringLiteral("0001")) &&
              app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0;
    for (int id : {3, 4, 9}) {
        QStringList columns{QStringLiteral("ID"), QStringLiteral("MainTypeCode")};
        QVariantList values{id, QStringLiteral("00010001")};
        for (int c = 1; c <= Schema::ValueColumnCount; ++c) {
            columns << QStringLiteral("Data%1").arg(c);
            values << (c % 7 == 0 ? QString() : QStringLiteral("值%1-%2 'q' \"d\"").arg(id).arg(c));
        }
        QStringList marks(values.size(), QStringLiteral("?"));
        ok = ok && app.exec(QStringLiteral("INSERT INTO TContractMain (%1) VALUES (%2)")
                                .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                            values);
    }
    ok = ok && app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {QStringLiteral("秘密123")});
    static const char raw[] = "\xD0\xCF\x11\xE0\x00\xFF\x00 binary";
    const QByteArray binary(raw, sizeof raw - 1);
    return ok && addDocument(QStringLiteral("DB/ModelFiles/00010001.Doc"), binary + "template") &&
           addDocument(QStringLiteral("DB/ContractFile/3.Doc"), binary + "three") &&
           addDocument(QStringLiteral("DB/ContractFile/9.docx"), "PK\x03\x04 nine") &&
           writeFile(app.file(QStringLiteral("DB/Empty.Doc")), "blank");
}

// The files below the folder DB, relative to it.
QStringList localFiles(const QString &db) {
    QStringList files;
    QDirIterator it(db, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(db).relativeFilePath(it.next());
    files.sort();
    return files;
}

QByteArray fileTree(const QString &folder) {
    QByteArray out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    for (const QString &path : paths)
        out += QDir(folder).relativeFilePath(path).toUtf8() + '=' +
               (QFileInfo(path).isDir() ? QByteArray("<dir>") : readFile(path)) + '\n';
    return out;
}

QStringList entryNames(const QString &archive) {
    QStringList names;
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &code);
    for (zip_int64_t i = 0; za && i < zip_get_num_entries(za, 0); ++i)
        names << QString::fromUtf8(zip_get_name(za, quint64(i), 0));
    if (za)
        zip_discard(za);
    names.sort();
    return names;
}

} // namespace

class TestBackupBetweenStores : public QObject {
    Q_OBJECT
    QTemporaryDir mOutside;
    ScriptedMessages mMessages;
    FixedClock mClock{QDateTime(QDate(2026, 3, 7), QTime(9, 30))};

private Q_SLOTS:
    void initTestCase() {
        Clock::setInstance(&mClock);
        Messages::setInstance(&mMessages);
    }
    void init() {
        const QString why = TempAppFolder::serverUnavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        mMessages.clear();
    }
    void cleanup() { TempAppFolder::useStore(Store::Embedded); }

    void archiveMovesEverythingBetweenStores_data() {
        QTest::addColumn<Store>("from");
        QTest::addColumn<Store>("to");
        QTest::newRow("server to embedded file") << Store::Server << Store::Embedded;
        QTest::newRow("embedded file to server") << Store::Embedded << Store::Server;
        QTest::newRow("server to server") << Store::Server << Store::Server;
    }
    void archiveMovesEverythingBetweenStores() {
        QFETCH(Store, from);
        QFETCH(Store, to);
        const QString archive = mOutside.filePath(QStringLiteral("moved.HTBK"));
        QFile::remove(archive);
        QStringList rows;
        QMap<QString, QByteArray> docs;
        {
            TempAppFolder::useStore(from);
            TempAppFolder source;
            QVERIFY(source.isValid());
            QVERIFY(fill(source));
            // The history travels with the data.
            QVERIFY(Database::instance().inTransaction([] {
                return ChangeHistory::record({9,
                                              QStringLiteral("00010001"),
                                              ChangeHistory::Changed,
                                              {{QStringLiteral("甲方"), QStringLiteral("旧"), QStringLiteral("新")}},
                                              {},
                                              {}});
            }));
            rows = dataRows();
            QCOMPARE(rows.filter(QRegularExpression(QStringLiteral("^TChangeLog:"))).size(), 1);
            docs = documents();
            QCOMPARE(docs.size(), 3);
            QString error;
            QVERIFY2(DatabaseBackup::write(Database::instance(), archive, &error), qPrintable(error));
        }
        // One layout whichever store wrote it; the connection file stays with its folder.
        QCOMPARE(entryNames(archive),
                 (QStringList{QStringLiteral("ContractFile/3.Doc"), QStringLiteral("ContractFile/9.docx"),
                              QStringLiteral("Empty.Doc"), QStringLiteral("ModelFiles/00010001.Doc"),
                              QStringLiteral("ZYDB.dat")}));

        TempAppFolder::useStore(to);
        TempAppFolder target(to == Store::Server);
        QVERIFY(target.isValid());
        QString error;
        if (to == Store::Server) {
            QVERIFY2(DatabaseRestore::restoreIntoServer(archive, Database::instance(), &error), qPrintable(error));
        } else {
            QVERIFY2(DatabaseRestore::restore(archive, target.path(), &error), qPrintable(error));
            QVERIFY(Database::create(target.path()).isConnected());
        }
        // Everything as it was, and one history row more: the restore's own, the newest.
        QStringList after = dataRows();
        QVERIFY(!after.isEmpty());
        const QString restoreRow = after.takeLast();
        QCOMPARE(after, rows);
        QVERIFY2(restoreRow.startsWith(QStringLiteral("TChangeLog:")) &&
                     restoreRow.contains(QStringLiteral("|2026-03-07 09:30:00|")) &&
                     restoreRow.contains(QStringLiteral("|数据库还原|")) &&
                     restoreRow.contains(QStringLiteral("moved.HTBK")),
                 qPrintable(restoreRow));
        QCOMPARE(documents(), docs);
        QCOMPARE(readFile(target.file(QStringLiteral("DB/Empty.Doc"))), QByteArray("blank"));
        // New records continue above the restored IDs.
        const std::optional<qint64> id = Database::instance().insertReturningId(
            QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES (?)"), {QStringLiteral("00010001")});
        QVERIFY(id && *id > 9);
    }

    // An older backup restored: the IDs of records and categories made after it are handed out again, so their
    // documents must go with them (they are in the safety backup), on the server and in the local folder alike.
    void restoreLeavesNoLaterDocument_data() {
        QTest::addColumn<Store>("store");
        QTest::newRow("embedded file") << Store::Embedded;
        QTest::newRow("server") << Store::Server;
    }
    void restoreLeavesNoLaterDocument() {
        QFETCH(Store, store);
        TempAppFolder::useStore(store);
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(fill(app));
        // The server's generators continue above the filled IDs, as they do after any restore.
        QVERIFY(StoreCopy::resetGenerators(Database::instance().connection()));
        const QString archive = mOutside.filePath(QStringLiteral("older.HTBK"));
        QFile::remove(archive);
        QVERIFY(DatabaseBackup::write(Database::instance(), archive));
        const QMap<QString, QByteArray> older = documents();

        const std::optional<qint64> later = Database::instance().insertReturningId(
            QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES (?)"), {QStringLiteral("00010001")});
        QVERIFY(later);
        const QString laterContract = QStringLiteral("DB/ContractFile/%1.Doc").arg(*later);
        QVERIFY(app.addCategory(QStringLiteral("00010002"), QStringLiteral("其他采购"), QStringLiteral("0001")));
        QVERIFY(addDocument(laterContract, "the contract of another customer"));
        QVERIFY(addDocument(QStringLiteral("DB/ModelFiles/00010002.Doc"), "a later template"));
        QVERIFY(addDocument(QStringLiteral("DB/ContractFile/存档/later.Doc"), "filed later"));
        // On the server a local copy edited outside the program and never saved back is in no backup: it is kept.
        if (store == Store::Server)
            QVERIFY(writeFile(app.file(QStringLiteral("DB/ContractFile/3.Doc")), "edited outside the program"));

        mMessages.answerQuestion(true);
        RestoreDatabase(
            Database::instance(), [] { return true; }, [] {}, archive);
        const QStringList lines = mMessages.lastText().split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。"));
        if (store == Store::Server) {
            QCOMPARE(lines.size(), 3);
            QCOMPARE(readFile(lines.at(2)), QByteArray("edited outside the program"));
            QVERIFY2(lines.at(2).startsWith(app.file(QStringLiteral("Bak/"))), qPrintable(lines.at(2)));
        } else {
            QCOMPARE(lines.size(), 1);
        }
        const QString safety = app.file(QStringLiteral("Bak/恢复前自动备份_20260307_093000.HTBK"));
        for (const QString &gone : {laterContract, QStringLiteral("DB/ModelFiles/00010002.Doc")})
            QVERIFY2(entryNames(safety).contains(gone.mid(3)), qPrintable(gone));

        QVERIFY(Database::create(app.path()).isConnected());
        QCOMPARE(documents(), older);
        // Locally: the archive's files on the embedded store; on the server no copy of any document, since every
        // restored one has a new version (the folder's own embedded file and connection file stay).
        const QStringList expected =
            store == Store::Server
                ? QStringList{QStringLiteral("Empty.Doc"), QStringLiteral("Server.ini"), QStringLiteral("ZYDB.dat")}
                : entryNames(archive);
        QCOMPARE(localFiles(app.file(QStringLiteral("DB"))), expected);
        QVERIFY(!QFileInfo::exists(app.file(QStringLiteral("DB/ContractFile/存档"))));
        // The next record gets the later one's ID back, and finds no document under it.
        const std::optional<qint64> next = Database::instance().insertReturningId(
            QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES (?)"), {QStringLiteral("00010001")});
        QCOMPARE(next, later);
        QVERIFY(!DocumentStore::exists(laterContract));
        QVERIFY(!QFileInfo::exists(app.file(laterContract)));
    }

    // Restoring into the server: the local files are put in place before the server commits, and whatever may
    // have changed is said and its safety backup kept.
    void serverRestoreThatFailsSaysWhatChanged_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("localChanged");
        QTest::addColumn<QString>("says");
        QTest::newRow("a folder where the archive has a file") << QStringLiteral("folder") << false << QString();
        QTest::newRow("the server refuses the commit") << QStringLiteral("refuse") << false << QString();
        QTest::newRow("the connection breaks during the commit")
            << QStringLiteral("break") << true
            << QStringLiteral("提交时与数据库服务器的连接中断，无法确定服务器上的数据和文档是否已经还原。");
    }
    void serverRestoreThatFailsSaysWhatChanged() {
        QFETCH(QString, failure);
        QFETCH(bool, localChanged);
        QFETCH(QString, says);
        const QString archive = mOutside.filePath(QStringLiteral("refused.HTBK"));
        QFile::remove(archive);
        {
            TempAppFolder source;
            QVERIFY(fill(source));
            QVERIFY(DatabaseBackup::write(Database::instance(), archive));
        }
        TempAppFolder::useStore(Store::Server);
        TempAppFolder server;
        QVERIFY(server.isValid());
        QVERIFY(server.addCategory(QStringLiteral("0002"), QStringLiteral("租赁合同")));
        QVERIFY(addDocument(QStringLiteral("DB/ModelFiles/0002.Doc"), "kept"));
        QVERIFY(writeFile(server.file(QStringLiteral("DB/Empty.Doc")), "this folder's blank"));
        if (failure == QLatin1String("folder")) {
            QVERIFY(QFile::remove(server.file(QStringLiteral("DB/Empty.Doc"))));
            QVERIFY(writeFile(server.file(QStringLiteral("DB/Empty.Doc/x")), "in the way"));
        } else {
            // Runs when the server commits: refuses it, or ends the connection in the middle of it.
            const QString body = failure == QLatin1String("refuse")
                                     ? QStringLiteral("RAISE EXCEPTION 'refused at commit';")
                                     : QStringLiteral("PERFORM pg_terminate_backend(pg_backend_pid()); "
                                                      "PERFORM pg_sleep(5);");
            QVERIFY(server.exec(QStringLiteral("CREATE FUNCTION at_commit() RETURNS trigger LANGUAGE plpgsql AS $$ "
                                               "BEGIN %1 RETURN NULL; END $$")
                                    .arg(body)));
            QVERIFY(server.exec(QStringLiteral("CREATE CONSTRAINT TRIGGER at_commit AFTER INSERT ON TContractMain "
                                               "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION "
                                               "at_commit()")));
        }
        const QStringList rows = dataRows();
        const QMap<QString, QByteArray> docs = documents();
        const QByteArray localBefore = fileTree(server.file(QStringLiteral("DB")));

        mMessages.answerQuestion(true);
        int ended = 0;
        RestoreDatabase(
            Database::instance(), [] { return true; }, [&ended] { ++ended; }, archive);
        QCOMPARE(ended, 1);
        const QString text = mMessages.lastText();
        QVERIFY2(text.startsWith(QStringLiteral("数据文件还原失败")), qPrintable(text));
        QVERIFY2(text.contains(says), qPrintable(text));
        const QString safety = server.file(QStringLiteral("Bak/恢复前自动备份_20260307_093000.HTBK"));
        // Kept whenever anything may have changed, and named.
        QCOMPARE(QFileInfo::exists(safety), localChanged);
        QCOMPARE(text.contains(QDir::toNativeSeparators(safety)), localChanged);
        if (localChanged) {
            QCOMPARE(readFile(server.file(QStringLiteral("DB/Empty.Doc"))), QByteArray("blank"));
            QCOMPARE(
                localFiles(server.file(QStringLiteral("DB"))),
                (QStringList{QStringLiteral("Empty.Doc"), QStringLiteral("Server.ini"), QStringLiteral("ZYDB.dat")}));
        } else {
            QCOMPARE(fileTree(server.file(QStringLiteral("DB"))), localBefore);
        }
        QVERIFY(Database::create(server.path()).isConnected());
        QCOMPARE(dataRows(), rows);
        QCOMPARE(documents(), docs);
    }

    // A backup takes the data and nothing else, checks every name as its restore would, and names the one it
    // cannot store instead of writing an archive the restore refuses or leaving the document out.
    void backupRefusesNamesItsRestoreRefuses_data() {
        QTest::addColumn<Store>("store");
        QTest::addColumn<QString>("path");
        const char *serverPaths[] = {
            "DB//etc/x",     "DB/ContractFile/a\\b.Doc",   "DB/ContractFile/x\x01.Doc", "Other/12.Doc", "DB/ZYDB.dat",
            "DB/Server.ini", "DB/ContractFile/../../x.Doc"};
        for (const char *path : serverPaths)
            QTest::addRow("server: %s", path) << Store::Server << QString::fromUtf8(path);
        const char *folderPaths[] = {"DB/ContractFile/a\\b.Doc", "DB/ModelFiles/x\x01.Doc"};
        for (const char *path : folderPaths)
            QTest::addRow("embedded file: %s", path) << Store::Embedded << QString::fromUtf8(path);
    }
    void backupRefusesNamesItsRestoreRefuses() {
        QFETCH(Store, store);
        QFETCH(QString, path);
        TempAppFolder::useStore(store);
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(fill(app));
        if (store == Store::Server)
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TFile (Path, Content, Version) VALUES (?, ?, 1)"),
                             {path, QByteArray("odd")}));
        else
            QVERIFY(writeFile(app.file(path), "odd"));
        const QString archive = app.file(QStringLiteral("Bak/odd.HTBK"));
        mMessages.answerFileName(archive);
        BackupDatabase(Database::instance());
        QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
        const QString named = store == Store::Server ? path : path.mid(3);
        QVERIFY2(mMessages.lastText().contains(QStringLiteral("“%1”").arg(QDir::toNativeSeparators(named))),
                 qPrintable(mMessages.lastText()));
        QVERIFY(!QFileInfo::exists(archive));
    }

    // The connection file never enters an archive, nor a file someone left in DB; the archive and what a
    // restore unpacks are the owner's alone, whatever the archive's stored modes say.
    void archiveHoldsTheDataAlone_data() {
        QTest::addColumn<Store>("store");
        QTest::newRow("embedded file") << Store::Embedded;
        QTest::newRow("server") << Store::Server;
    }
    void archiveHoldsTheDataAlone() {
        QFETCH(Store, store);
        const mode_t savedMask = ::umask(022);
        TempAppFolder::useStore(store);
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(fill(app));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/notes.txt")), "not data"));
        QVERIFY(writeFile(app.file(QStringLiteral("DB/ModelFiles.bak/x.Doc")), "not data either"));
        if (store == Store::Embedded)
            QVERIFY(writeFile(app.file(QStringLiteral("DB/Server.ini")), "[server]\nhost=elsewhere.example.com\n"));
        const QString archive = app.file(QStringLiteral("Bak/owner.HTBK"));
        QVERIFY(DatabaseBackup::write(Database::instance(), archive));
        QCOMPARE(entryNames(archive),
                 (QStringList{QStringLiteral("ContractFile/3.Doc"), QStringLiteral("ContractFile/9.docx"),
                              QStringLiteral("Empty.Doc"), QStringLiteral("ModelFiles/00010001.Doc"),
                              QStringLiteral("ZYDB.dat")}));
        ::umask(savedMask);
        QCOMPARE(int(QFileInfo(archive).permissions() & 0x0077), 0);
        QCOMPARE(QFileInfo(archive).permissions() & 0x7000, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // An archive written by the previous version of the program restores into either store of this one: its rows
    // as they were, the columns added since at their defaults, the tables added since usable.
    void olderArchiveRestoresIntoTheNewSchema_data() {
        QTest::addColumn<Store>("to");
        QTest::newRow("embedded file") << Store::Embedded;
        QTest::newRow("server") << Store::Server;
    }
    void olderArchiveRestoresIntoTheNewSchema() {
        QFETCH(Store, to);
        const QString archive = mOutside.filePath(QStringLiteral("older.HTBK"));
        QFile::remove(archive);
        {
            TempAppFolder::useStore(Store::Embedded);
            TempAppFolder old(false, 1);
            QVERIFY(old.isValid());
            {
                QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
                raw.setDatabaseName(old.file(Database::DatabaseFile));
                QVERIFY(raw.open());
                QSqlQuery q(raw);
                for (const char *sql :
                     {"INSERT INTO TContractClass VALUES ('0001','根','',0)",
                      "INSERT INTO TContractClass VALUES ('00010001','子','0001',1)",
                      "INSERT INTO TDataPara (ID,MainTypeCode,PropertyName,PropertyType,FormatStr,SortIdx,DataFieldA) "
                      "VALUES (4,'00010001','到期日',2,'yyyy-MM-dd',1,'Data1')",
                      "INSERT INTO TContractMain (ID,MainTypeCode,Data1) VALUES (7,'00010001','2026-04-01')"})
                    QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
                q.finish();
                raw.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("older"));
            QString error;
            QVERIFY2(DatabaseBackup::writeFolder(old.path(), archive, nullptr, &error), qPrintable(error));
        }

        TempAppFolder::useStore(to);
        TempAppFolder target(to == Store::Server);
        QVERIFY(target.isValid());
        QString error;
        if (to == Store::Server) {
            QVERIFY2(DatabaseRestore::restoreIntoServer(archive, Database::instance(), &error), qPrintable(error));
        } else {
            QVERIFY2(DatabaseRestore::restore(archive, target.path(), &error), qPrintable(error));
            QVERIFY2(Database::create(target.path()).isConnected(), qPrintable(Database::instance().connectionError()));
        }
        QCOMPARE(Schema::version(Database::instance().connection()), Schema::Version);
        QCOMPARE(target.scalar(QStringLiteral("SELECT Data1 FROM TContractMain WHERE ID=7")),
                 QStringLiteral("2026-04-01"));
        QCOMPARE(target.scalar(QStringLiteral("SELECT DueDays FROM TDataPara WHERE ID=4")).toInt(),
                 Schema::DefaultDueDays);
        // The older archive had no history; the restore's own entry is its first.
        QCOMPARE(target.joined(QStringLiteral("SELECT Action FROM TChangeLog")), ChangeHistory::Restored);
        QVERIFY(target.exec(QStringLiteral("UPDATE TDataPara SET DueRemind=1 WHERE ID=4")));
        QVERIFY(target.exec(
            QStringLiteral("INSERT INTO TDueDone (ContractID, ParaID, DueDate) VALUES (7, 4, '2026-04-01')")));
    }

    void failedRestoreLeavesTheServerAsItWas() {
        const QString archive = mOutside.filePath(QStringLiteral("refused.HTBK"));
        QFile::remove(archive);
        {
            TempAppFolder source;
            QVERIFY(fill(source));
            QVERIFY(DatabaseBackup::write(Database::instance(), archive));
        }
        TempAppFolder::useStore(Store::Server);
        TempAppFolder server;
        QVERIFY(server.isValid());
        QVERIFY(server.addCategory(QStringLiteral("0002"), QStringLiteral("租赁合同")));
        QVERIFY(addDocument(QStringLiteral("DB/ModelFiles/0002.Doc"), "kept"));
        const QStringList rows = dataRows();
        const QMap<QString, QByteArray> docs = documents();
        // The last record of the archive cannot be written: everything before it must go back.
        QVERIFY(server.refuseChanges(QStringLiteral("TContractMain"), QStringLiteral("INSERT"),
                                     QStringLiteral("NEW.ID=9")));
        QVERIFY(!DatabaseRestore::restoreIntoServer(archive, Database::instance()));
        QCOMPARE(dataRows(), rows);
        QCOMPARE(documents(), docs);
    }

    void restoreCommandAsksBeforeReplacingTheServer_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void restoreCommandAsksBeforeReplacingTheServer() {
        QFETCH(bool, confirmed);
        const QString archive = mOutside.filePath(QStringLiteral("asked.HTBK"));
        QFile::remove(archive);
        {
            TempAppFolder source;
            QVERIFY(fill(source));
            QVERIFY(DatabaseBackup::write(Database::instance(), archive));
        }
        TempAppFolder::useStore(Store::Server);
        TempAppFolder server;
        QVERIFY(server.isValid());
        mMessages.answerQuestion(confirmed);
        int ended = 0;
        RestoreDatabase(
            Database::instance(), [] { return true; }, [&ended] { ++ended; }, archive);
        QVERIFY(mMessages.texts().value(0).startsWith(QStringLiteral("服务器上的数据由所有用户共用。")));
        QCOMPARE(ended, confirmed ? 1 : 0);
        QVERIFY(Database::create(server.path()).isConnected());
        QCOMPARE(Database::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TContractMain")),
                 confirmed ? QStringLiteral("3") : QStringLiteral("0"));
        if (confirmed) {
            QCOMPARE(mMessages.lastText(), QStringLiteral("还原数据成功，软件将关闭，请手工重新启动系统。"));
            // The server's state before the restore is kept as an archive in Bak/.
            QVERIFY(QFile::exists(server.file(QStringLiteral("Bak/恢复前自动备份_20260307_093000.HTBK"))));
        }
    }
};

QTEST_GUILESS_MAIN(TestBackupBetweenStores)
#include "tst_backup_between_stores.moc"
