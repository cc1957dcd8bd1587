// Backup of an application folder with 20 000 contracts and 500 contract documents, compared with `zip -r` of
// the same folder DB in the same run. Prints the medians and their ratio.
//   bench_backup [rounds=3]
#include "app/admin/DatabaseBackup.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include <sys/resource.h>

namespace {

bool fill(Database &dm) {
    QSqlQuery q(dm.connection());
    if (!q.exec(QStringLiteral(
            "INSERT INTO TContractClass VALUES ('0001','根','',0), ('00010001','房屋租赁合同','0001',1)")))
        return false;
    return dm.inTransaction([&] {
        QSqlQuery insert(dm.connection());
        insert.prepare(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2, Data3, Data4) "
                                      "VALUES ('00010001', ?, ?, ?, ?)"));
        for (int i = 0; i < 20000; ++i) {
            insert.addBindValue(QStringLiteral("出租方%1").arg(i));
            insert.addBindValue(QStringLiteral("承租方%1 北京市朝阳区某某路%2号").arg(i).arg(i % 300));
            insert.addBindValue(QString(QString::number(1000 + i % 9000) + QStringLiteral(".00")));
            insert.addBindValue(QStringLiteral("2026-%1-%2").arg(1 + i % 12).arg(1 + i % 28));
            if (!insert.exec())
                return false;
        }
        return true;
    });
}

bool writeDocuments(const QString &folder) {
    // Word documents compress moderately: a mix of repeated text and random bytes of that kind.
    QRandomGenerator random(7);
    for (int i = 1; i <= 500; ++i) {
        QFile f(folder + QStringLiteral("DB/ContractFile/%1.Doc").arg(i));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray data;
        constexpr qsizetype DocumentBytes = qsizetype(60) * 1024;
        data.reserve(DocumentBytes);
        while (data.size() < DocumentBytes) {
            data += QStringLiteral("第%1条 出租方与承租方协商一致，订立本合同。").arg(i).toUtf8();
            for (int k = 0; k < 64; ++k)
                data += char(random.bounded(256));
        }
        f.write(data);
    }
    return true;
}

// Processor time of this process (or of its finished children), in ms: on a shared machine the wall time mostly
// measures the other processes.
double cpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 3;
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    if (!Schema::layOutAppFolder(folder) || !writeDocuments(folder)) {
        out << "could not lay out the benchmark folder" << Qt::endl;
        return 1;
    }
    Database &dm = Database::create(folder);
    if (!dm.isConnected() || !fill(dm)) {
        out << "could not fill the benchmark database" << Qt::endl;
        return 1;
    }

    QList<double> backup;
    QList<double> zip;
    QList<double> backupCpu;
    QList<double> zipCpu;
    for (int r = 0; r < rounds; ++r) {
        const QString archive = folder + QStringLiteral("Bak/bench.HTBK");
        QElapsedTimer t;
        t.start();
        double cpu = cpuMs(RUSAGE_SELF);
        if (!DatabaseBackup::write(dm, archive)) {
            out << "backup failed" << Qt::endl;
            return 1;
        }
        backup << double(t.nsecsElapsed()) / 1e6;
        backupCpu << cpuMs(RUSAGE_SELF) - cpu;
        QFile::remove(archive);

        const QString zipFile = folder + QStringLiteral("Bak/bench.zip");
        QProcess p;
        p.setWorkingDirectory(folder);
        t.restart();
        cpu = cpuMs(RUSAGE_CHILDREN);
        p.start(QStringLiteral("zip"), {QStringLiteral("-r"), QStringLiteral("-q"), zipFile, QStringLiteral("DB")});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            out << "zip failed" << Qt::endl;
            return 1;
        }
        zip << double(t.nsecsElapsed()) / 1e6;
        zipCpu << cpuMs(RUSAGE_CHILDREN) - cpu;
        QFile::remove(zipFile);
    }
    const double b = median(backup);
    const double z = median(zip);
    out << "backup of DB (20000 contracts, 500 documents), median of " << rounds << " rounds" << Qt::endl;
    out << "backup:  " << QString::number(b, 'f', 0) << " ms" << Qt::endl;
    out << "zip -r:  " << QString::number(z, 'f', 0) << " ms" << Qt::endl;
    out << "ratio backup / zip -r: " << QString::number(b / z, 'f', 2) << Qt::endl;
    out << "processor time: backup " << QString::number(median(backupCpu), 'f', 0) << " ms, zip -r "
        << QString::number(median(zipCpu), 'f', 0) << " ms, ratio "
        << QString::number(median(backupCpu) / median(zipCpu), 'f', 2) << Qt::endl;
    Database::destroy();
    return 0;
}
