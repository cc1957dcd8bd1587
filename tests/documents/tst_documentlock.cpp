// The lock beside a contract document: whose lock counts, whose is taken over, and that no one's lock but this
// program's own is ever replaced or removed. Another running copy of the program is this test program started
// again with --hold, holding a lock until its input closes.

#include "documents/DocumentLock.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <iostream>
#include <string>

namespace {

QString lockOf(const QString &document) {
    return QFileInfo(document).absolutePath() + QStringLiteral("/.~lock.") + QFileInfo(document).fileName() +
           QLatin1Char('#');
}

// A process that runs for the length of a test: its number is taken, but it is not the lock's writer.
struct Sleeper {
    QProcess process;
    Sleeper() {
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        process.waitForStarted();
    }
    ~Sleeper() {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class TestDocumentLock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void othersLocks_data();
    void othersLocks();
    void ownLockReleased();
    void lockOfAnotherRunningCopy();
};

void TestDocumentLock::othersLocks_data() {
    QTest::addColumn<QString>("line"); // the lock's line; %PID% a running process that is not its writer,
                                       // %ENDED% the number of a process that has ended, %HOST% this machine
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("holder"); // what the description names, for a lock that counts
    QTest::newRow("the user's office")
        << QStringLiteral("王五,wangwu,办公室电脑,10.12.2026 09:30,file:///home/wangwu/.config/libreoffice/4;") << true
        << QStringLiteral("王五 于 10.12.2026 09:30 在 办公室电脑 上打开");
    QTest::newRow("the user's office, no name set in it")
        << QStringLiteral(",wangwu,办公室电脑,10.12.2026 09:30,file:///home/wangwu/.config/libreoffice/4;") << true
        << QStringLiteral("wangwu 于 10.12.2026 09:30 在 办公室电脑 上打开");
    QTest::newRow("a lock still being written") << QString() << true << QStringLiteral("锁定文件 .~lock.7.Doc#");
    QTest::newRow("a copy on another machine")
        << QStringLiteral("李四,lisi,前台,10.12.2026 09:30,vantrel:1@前台/0000/1;") << true
        << QStringLiteral("李四 于 10.12.2026 09:30 在 前台 上打开");
    QTest::newRow("a copy that has ended")
        << QStringLiteral("u,%HOST%,u,10.12.2026 09:30,vantrel:%ENDED%@%HOST%;") << false << QString();
    QTest::newRow("number given to a later process")
        << QStringLiteral("u,%HOST%,u,10.12.2026 09:30,vantrel:%PID%@%HOST%/%BOOT%/1;") << false << QString();
    QTest::newRow("number given to a later process, lock without its start")
        << QStringLiteral("u,%HOST%,u,01.01.2020 09:30,vantrel:%PID%@%HOST%;") << false << QString();
    QTest::newRow("written before the machine started again")
        << QStringLiteral("u,%HOST%,u,10.12.2026 09:30,vantrel:%PID%@%HOST%/00000000-0000-0000-0000-000000000000/1;")
        << false << QString();
}

void TestDocumentLock::othersLocks() {
    QFETCH(QString, line);
    QFETCH(bool, held);
    QFETCH(QString, holder);
    QTemporaryDir dir;
    const QString document = dir.filePath(QStringLiteral("7.Doc"));
    QVERIFY(writeText(document, QStringLiteral("合同")));
    Sleeper sleeper;
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    line.replace(QStringLiteral("%PID%"), QString::number(sleeper.process.processId()))
        .replace(QStringLiteral("%ENDED%"), QString::number(endedPid))
        .replace(QStringLiteral("%HOST%"), QSysInfo::machineHostName())
        .replace(QStringLiteral("%BOOT%"),
                 QString::fromLatin1(readFile(QStringLiteral("/proc/sys/kernel/random/boot_id")).trimmed()));
    const QString lock = lockOf(document);
    QVERIFY(writeText(lock, line));

    const std::optional<DocumentLock::Holder> found = DocumentLock::holder(document);
    QCOMPARE(found.has_value(), held);
    if (found)
        QVERIFY2(found->describe().contains(holder), qPrintable(found->describe()));
    // A lock that counts is neither replaced nor, on release, removed; one that does not is taken over.
    QCOMPARE(DocumentLock::acquire(document), !held);
    if (held)
        QCOMPARE(readText(lock), line);
    else
        QVERIFY(readText(lock).contains(QStringLiteral("vantrel:%1@").arg(QCoreApplication::applicationPid())));
    DocumentLock::release(document);
    QCOMPARE(QFile::exists(lock), held);
    if (held)
        QCOMPARE(readText(lock), line);
}

void TestDocumentLock::ownLockReleased() {
    QTemporaryDir dir;
    const QString document = dir.filePath(QStringLiteral("8.docx"));
    QVERIFY(DocumentLock::acquire(document));
    QVERIFY(DocumentLock::isLocked(document));
    // Held already: a second window does not take it as its own.
    QVERIFY(!DocumentLock::acquire(document));
    DocumentLock::release(document);
    QVERIFY(!QFile::exists(lockOf(document)));
    QVERIFY(!DocumentLock::isLocked(document));
}

void TestDocumentLock::lockOfAnotherRunningCopy() {
    QTemporaryDir dir;
    const QString document = dir.filePath(QStringLiteral("9.Doc"));
    QProcess copy;
    copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold"), document});
    QVERIFY(copy.waitForStarted());
    QVERIFY(copy.waitForReadyRead(10000));
    QCOMPARE(copy.readLine().trimmed(), QByteArray("held"));
    const QString line = readText(lockOf(document));
    QVERIFY2(line.contains(QStringLiteral("vantrel:%1@").arg(copy.processId())), qPrintable(line));

    QVERIFY(DocumentLock::isLocked(document));
    QVERIFY(!DocumentLock::acquire(document));
    DocumentLock::release(document);
    QCOMPARE(readText(lockOf(document)), line);

    // The copy ends and takes its lock away itself.
    copy.closeWriteChannel();
    QVERIFY(copy.waitForFinished(10000));
    QVERIFY(!QFile::exists(lockOf(document)));
}

int main(int argc, char *argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        QCoreApplication app(argc, argv);
        const QString document = QString::fromLocal8Bit(argv[2]);
        if (!DocumentLock::acquire(document))
            return 1;
        std::cout << "held" << std::endl;
        std::string rest;
        while (std::getline(std::cin, rest)) {
        }
        DocumentLock::release(document);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestDocumentLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_documentlock.moc"
