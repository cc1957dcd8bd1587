#include "store/Database.h"
#include "store/ServerSettings.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// What a write transaction reads stays as read until it ends: another program cannot change it in between.
class TestWriteLock : public BothStoresTest {
    Q_OBJECT

    // A second program's connection to the same store, giving up on a lock after a fraction of a second.
    static QSqlDatabase otherProgram(const TempAppFolder &app) {
        const QString name = QStringLiteral("other-program");
        if (std::optional<ServerSettings> server = ServerSettings::read(app.path())) {
            QString error;
            QSqlDatabase db = Database::openServer(*server, name, &error);
            QSqlQuery(db).exec(QStringLiteral("SET lock_timeout TO 200"));
            return db;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(app.file(Database::DatabaseFile));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
        db.open();
        return db;
    }

private Q_SLOTS:
    void rowsReadAreLockedUntilTheEnd() {
        TempAppFolder app;
        QVERIFY(app.isValid());
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        {
            QSqlDatabase other = otherProgram(app);
            QVERIFY(other.isOpen());
            const QString rename = QStringLiteral("UPDATE TContractClass SET TypeName='他人' WHERE TypeCode='0001'");
            Database &dm = Database::instance();
            bool otherWrote = true;
            QVERIFY(dm.inWriteTransaction([&]() {
                QSqlQuery q(dm.connection());
                if (!execBound(q,
                               QStringLiteral("SELECT TypeName FROM TContractClass WHERE TypeCode=?") + dm.lockRows(),
                               {QStringLiteral("0001")}) ||
                    !q.next())
                    return false;
                // The other program would change the row (the server), or take the file's write lock and then
                // find our transaction in its way at its own commit (the embedded file).
                if (dm.backend() == Database::Backend::Server) {
                    otherWrote = QSqlQuery(other).exec(rename);
                } else {
                    QSqlQuery begin(other);
                    otherWrote = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
                    if (otherWrote)
                        begin.exec(QStringLiteral("ROLLBACK"));
                }
                return execBound(q, QStringLiteral("UPDATE TContractClass SET TypeName=? WHERE TypeCode=?"),
                                 {QString(q.value(0).toString() + QStringLiteral("改")), QStringLiteral("0001")});
            }));
            QVERIFY(!otherWrote);
            QCOMPARE(app.scalar(QStringLiteral("SELECT TypeName FROM TContractClass")), QStringLiteral("根改"));
            // Once it has ended the other program writes again.
            QVERIFY(QSqlQuery(other).exec(rename));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other-program"));
    }
};

QTEST_GUILESS_MAIN(TestWriteLock)
#include "tst_writelock.moc"
