#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"
#include "store/SqlText.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

// A connection to the folder's database that does not go through Database (which would upgrade it).
QSqlDatabase rawConnection(const TempAppFolder &app) {
    if (const std::optional<ServerSettings> server = ServerSettings::read(app.path())) {
        QString error;
        return Database::openServer(*server, QStringLiteral("raw"), &error);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    db.setDatabaseName(app.file(Database::DatabaseFile));
    db.open();
    return db;
}

// The column names of each table of the open store, in their order.
QMap<QString, QStringList> columnsOfEveryTable() {
    QMap<QString, QStringList> out;
    const QSqlDatabase db = Database::instance().connection();
    for (const QString &table : db.tables(QSql::Tables)) {
        const QSqlRecord record = db.record(table);
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i).toLower();
        out.insert(table.toLower(), names);
    }
    return out;
}

} // namespace

class TestStore : public BothStoresTest {
    Q_OBJECT
private Q_SLOTS:
    void freshFolderHasEveryTable() {
        TempAppFolder app;
        QVERIFY(app.isValid());
        for (const char *table :
             {"TContractClass", "TDataPara", "TDataParaDetail", "TContractMain", "TContractDetail", "TPara"}) {
            QVERIFY2(app.exec(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table))), table);
        }
        QVERIFY(app.exec(QStringLiteral("SELECT Data1, Data80 FROM TContractMain")));
        QCOMPARE(Database::instance().readLogPass(), std::optional<QString>(QStringLiteral("579")));
        for (const char *dir : {"DB/ModelFiles", "DB/ContractFile", "Bak", "BasicExcel", "Help"})
            QVERIFY(QFileInfo(app.file(QString::fromLatin1(dir))).isDir());

        // A new indicator's register column is visible without the user widening it.
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("子")}}));
        QVERIFY(app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) >
                0);
        QVERIFY(app.scalar(QStringLiteral("SELECT ColWidth FROM TDataPara")).toInt() > 0);
    }

    void setupNeverOverwritesADatabase() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("UPDATE TPara SET LogPass=?"), {QStringLiteral("kept")}));
        QVERIFY(Schema::layOutAppFolder(app.path()));
        QCOMPARE(Database::instance().readLogPass(), std::optional<QString>(QStringLiteral("kept")));
    }

    void missingDatabaseIsReportedNotCreated() {
        if (TempAppFolder::store() == TempAppFolder::Store::Server)
            QSKIP("the embedded file only");
        QTemporaryDir dir;
        Database &dm = Database::create(dir.path());
        QVERIFY(!dm.isConnected());
        QVERIFY(!dm.connectionError().isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("DB/ZYDB.dat"))));
        // Later queries fail quietly with their empty results.
        QCOMPARE(dm.GetDataBySQL(QStringLiteral("SELECT 1")), QString());
        QCOMPARE(dm.readLogPass(), std::nullopt);
        Database::destroy();
    }

    void notADatabaseFailsAtConnect() {
        if (TempAppFolder::store() == TempAppFolder::Store::Server)
            QSKIP("the embedded file only");
        TempAppFolder app(false);
        QFile f(app.file(QStringLiteral("DB/ZYDB.dat")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(4096, 'x'));
        f.close();
        QVERIFY(!Database::create(app.path()).isConnected());
        Database::destroy();
    }

    void queryHelpers() {
        TempAppFolder app;
        Database &dm = Database::instance();
        // Max over no rows is null: empty text, not "0".
        QCOMPARE(dm.GetDataBySQL(QStringLiteral("SELECT Max(SortIdx) FROM TDataPara WHERE MainTypeCode=?"),
                                 {QStringLiteral("x")}),
                 QString());
        QCOMPARE(dm.GetDataBySQL(QStringLiteral("SELECT nothing FROM nowhere")), QString());

        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("子")}}));
        for (const char *v : {"b", "", "a", "b"}) {
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, ?)"),
                             {QStringLiteral("00010001"), QString::fromUtf8(v)}));
        }
        QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, NULL)"),
                         {QStringLiteral("00010001")}));

        QStringList items{QStringLiteral("old")};
        dm.GetDataBySQLToItems(QStringLiteral("SELECT bad FROM nowhere"), {}, items, true);
        QCOMPARE(items, QStringList{QStringLiteral("old")});
        dm.GetDataBySQLToItems(QStringLiteral("SELECT Data1 FROM TContractMain ORDER BY ID"), {}, items, false);
        QCOMPARE(items, (QStringList{"old", "b", "a", "b"}));
        dm.GetDataBySQLToItems(
            QStringLiteral("SELECT DISTINCT Data1 FROM TContractMain WHERE MainTypeCode=? ORDER BY Data1"),
            {QStringLiteral("00010001")}, items, true);
        QCOMPARE(items, (QStringList{"a", "b"}));
    }

    void hostileTextsRoundTrip() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        const QStringList values{
            QStringLiteral("O'Brien \"quoted\""), QStringLiteral("100%_done\\path"),
            QStringLiteral("😀 合同 emoji"),       QStringLiteral("'); DROP TABLE TContractMain; --"),
            QString(10000, QChar(0x5408)),        QStringLiteral("tab\tnew\nline\r\x01"),
            QStringLiteral("[甲方]*2"),
        };
        for (const QString &v : values) {
            const std::optional<qint64> id = Database::instance().insertReturningId(
                QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data7) VALUES (?, ?)"),
                {QStringLiteral("0001"), v});
            QVERIFY(id);
            QCOMPARE(app.scalar(QStringLiteral("SELECT Data7 FROM TContractMain WHERE ID=?"), {*id}), v);
        }
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractMain")).toInt(), values.size());
    }

    void likePatternsMatchLiterally_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("matches");
        QTest::newRow("percent") << "%" << 1;
        QTest::newRow("underscore") << "_" << 1;
        QTest::newRow("backslash") << "\\" << 1;
        QTest::newRow("plain") << "ab" << 2;
        QTest::newRow("latin case") << "AB" << 2;
        QTest::newRow("chinese") << "合同" << 1;
    }

    void likePatternsMatchLiterally() {
        QFETCH(QString, needle);
        QFETCH(int, matches);
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        for (const char *v : {"ab", "a%b", "a_bab", "x\\y", "合同一"}) {
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES ('0001', ?)"),
                             {QString::fromUtf8(v)}));
        }
        const QString count =
            app.scalar(QStringLiteral("SELECT count(*) FROM TContractMain WHERE Data1 ") +
                           Database::instance().caseInsensitiveLike() + QStringLiteral(" ? ESCAPE '\\'"),
                       {SqlText::containsPattern(needle)});
        QCOMPARE(count.toInt(), matches);
    }

    void bulkReadHandsOverEveryCell() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        const QList<QVariantList> rows{
            {QStringLiteral("甲方"), QStringLiteral("")},
            {QStringLiteral("O'Brien"), QVariant()},
            {QString(3000, QChar(0x5408)), QStringLiteral("2024-01-31")},
        };
        for (const QVariantList &r : rows) {
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data80) VALUES (?, ?, ?)"),
                             {QStringLiteral("0001"), r.at(0), r.at(1)}));
        }
        // A query of the connection still half read, as a window may leave one, does not stand in the way; a
        // question mark inside a literal is no placeholder.
        QSqlQuery halfRead(Database::instance().connection());
        halfRead.setForwardOnly(true);
        QVERIFY(halfRead.exec(QStringLiteral("SELECT ID FROM TContractMain")) && halfRead.next());
        QList<QStringList> read;
        QString error;
        const bool ok = Database::instance().bulkRead(
            QStringLiteral("SELECT Data1, Data80, ID FROM TContractMain WHERE MainTypeCode=? AND Data1 <> 'a?b' "
                           "ORDER BY ID"),
            {QStringLiteral("0001")}, 2,
            [&](const char *const *texts, const int *sizes) {
                read.append({QString::fromUtf8(texts[0], sizes[0]), QString::fromUtf8(texts[1], sizes[1])});
            },
            &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(read.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(read.at(i).at(0), rows.at(i).at(0).toString());
            QCOMPARE(read.at(i).at(1), rows.at(i).at(1).toString()); // null reads as empty text
        }

        // Fewer columns than asked for, or a statement that fails, is reported rather than read short.
        QVERIFY(!Database::instance().bulkRead(
            QStringLiteral("SELECT Data1 FROM TContractMain"), {}, 2, [](const char *const *, const int *) {}, &error));
        QVERIFY(!Database::instance().bulkRead(
            QStringLiteral("SELECT nothing FROM nowhere"), {}, 1, [](const char *const *, const int *) {}, &error));
        QVERIFY(!error.isEmpty());
    }

    void valueColumnNames() {
        QVERIFY(SqlText::isValueColumn(QStringLiteral("Data1")));
        QVERIFY(SqlText::isValueColumn(QStringLiteral("Data80")));
        for (const char *bad : {"Data0", "Data81", "Data01", "Data", "Data+1", "ID", "Data1;--", "data1"})
            QVERIFY2(!SqlText::isValueColumn(QString::fromLatin1(bad)), bad);
    }

    void textOrderAndIdentities() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        for (const char *v : {"9", "10"})
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES ('0001', ?)"),
                             {QString::fromLatin1(v)}));
        QCOMPARE(app.scalar(QStringLiteral("SELECT Data1 FROM TContractMain ORDER BY Data1")), QStringLiteral("10"));
        QCOMPARE(app.scalar(QStringLiteral("SELECT Max(Data1) FROM TContractMain")), QStringLiteral("9"));

        // An ID names a contract document: deleting the newest record never lets its ID be issued again.
        const int highest = app.scalar(QStringLiteral("SELECT Max(ID) FROM TContractMain")).toInt();
        QVERIFY(app.exec(QStringLiteral("DELETE FROM TContractMain WHERE ID=?"), {highest}));
        QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES ('0001')")));
        QCOMPARE(app.scalar(QStringLiteral("SELECT Max(ID) FROM TContractMain")).toInt(), highest + 1);
    }

    void categoryInUseCannotBeDeleted() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree(
            {{QStringLiteral("00010001"), QStringLiteral("子")}, {QStringLiteral("00010002"), QStringLiteral("空")}}));
        QVERIFY(app.addIndicator(QStringLiteral("00010001"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) >
                0);
        QVERIFY(!app.exec(QStringLiteral("DELETE FROM TContractClass WHERE TypeCode=?"), {QStringLiteral("00010001")}));
        QVERIFY(app.exec(QStringLiteral("DELETE FROM TContractClass WHERE TypeCode=?"), {QStringLiteral("00010002")}));
        QVERIFY(!app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES ('nowhere')")));

        // Emptying every table in the rebuild's order succeeds inside one transaction.
        QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode) VALUES ('00010001')")));
        const bool ok = Database::instance().inTransaction([&] {
            for (const char *table :
                 {"TDataParaDetail", "TDataPara", "TContractClass", "TContractDetail", "TContractMain"}) {
                if (!app.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table))))
                    return false;
            }
            return true;
        });
        QVERIFY(ok);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("0"));
        QCOMPARE(Database::instance().readLogPass(), std::optional<QString>(QStringLiteral("579")));
    }

    // A database the previous version of the program made, with its rows, is brought to the current tables when
    // opened: nothing lost, the new columns at their defaults, and the same tables as a database made new.
    void olderDatabaseIsUpgradedOnOpen() {
        TempAppFolder old(false, 1);
        QVERIFY(old.isValid());
        {
            QSqlDatabase raw = rawConnection(old);
            QVERIFY(raw.isOpen());
            QCOMPARE(Schema::version(raw), 1);
            QSqlQuery q(raw);
            for (const char *sql :
                 {"INSERT INTO TContractClass VALUES ('0001','根','',0)",
                  "INSERT INTO TContractClass VALUES ('00010001','子','0001',1)",
                  "INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,SortIdx,DataFieldA) "
                  "VALUES ('00010001','到期日',2,'yyyy年M月d日',1,'Data1')",
                  "INSERT INTO TContractMain (MainTypeCode,Data1) VALUES ('00010001','2026年4月1日')"})
                QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
            QVERIFY(!q.exec(QStringLiteral("SELECT * FROM TDueDone")));
            q.finish();
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));

        for (int open = 0; open < 2; ++open) {
            Database &dm = Database::create(old.path());
            QVERIFY2(dm.isConnected(), qPrintable(dm.connectionError()));
            QCOMPARE(Schema::version(dm.connection()), Schema::Version);
            QCOMPARE(old.joined(QStringLiteral("SELECT PropertyName || '|' || FormatStr || '|' || DueRemind || '|' || "
                                               "DueDays FROM TDataPara")),
                     QStringLiteral("到期日|yyyy年M月d日|0|%1").arg(Schema::DefaultDueDays));
            QCOMPARE(old.scalar(QStringLiteral("SELECT Data1 FROM TContractMain")), QStringLiteral("2026年4月1日"));
        }
        QVERIFY(old.exec(QStringLiteral("INSERT INTO TDueDone (ContractID, ParaID, DueDate) "
                                        "SELECT c.ID, p.ID, '2026-04-01' FROM TContractMain c, TDataPara p")));
        const QMap<QString, QStringList> upgraded = columnsOfEveryTable();
        TempAppFolder fresh;
        QCOMPARE(columnsOfEveryTable(), upgraded);
    }

    void onlineBackupIsAConsistentCopy() {
        if (TempAppFolder::store() == TempAppFolder::Store::Server)
            QSKIP("the online copy is SQLite's own; the server's backup is tested in tst_backup_between_stores");
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        const QString copy = app.file(QStringLiteral("Bak/copy.dat"));
        QVERIFY(Database::instance().backupDatabaseTo(copy));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(copy);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT TypeName FROM TContractClass")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("根"));
        q = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
