// Import of a 10 000-row × 20-column worksheet (.xls and .xlsx) into contract records, compared with the sqlite3
// tool's ".import" of the same data as CSV into a fresh database. A timing program, not a test:
//
//   bench_import [rounds=3]
//
// The workbooks are made from the CSV by LibreOffice once, before timing.

#include "exchange/import/ContractImport.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

#include <sys/resource.h>

namespace {

constexpr int Rows = 10000;
constexpr int Columns = 20;

QString columnName(int column) {
    return QStringLiteral("列%1").arg(column + 1);
}

bool writeCsv(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    QStringList header;
    for (int c = 0; c < Columns; ++c)
        header.append(columnName(c));
    out << header.join(u',') << '\n';
    for (int r = 0; r < Rows; ++r) {
        QStringList cells;
        for (int c = 0; c < Columns; ++c) {
            switch (c % 4) {
            case 0:
                cells.append(QStringLiteral("合同%1-%2").arg(r).arg(c));
                break;
            case 1:
                cells.append(QString::number((r * 37 + c) % 100000 / 100.0, 'f', 2));
                break;
            case 2:
                cells.append(QDate(2020, 1, 1).addDays((r + c) % 2000).toString(Qt::ISODate));
                break;
            default:
                cells.append(QStringLiteral("北京市海淀区某某路%1号").arg(r % 500));
            }
        }
        out << cells.join(u',') << '\n';
    }
    return true;
}

bool convert(const QString &csv, const QString &format, const QString &folder) {
    QProcess office;
    office.start(QStringLiteral("soffice"),
                 {QStringLiteral("-env:UserInstallation=file://") + folder + QStringLiteral("/profile"),
                  QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:44,34,76,1"),
                  QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"), folder, csv});
    return office.waitForFinished(300000) && office.exitCode() == 0;
}

// Processor time of this process and its finished children, in ms: on a shared machine the wall time mostly
// measures the other processes.
double cpuMs() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return total;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    QTemporaryDir folder;
    const QString csv = folder.filePath(QStringLiteral("data.csv"));
    if (!writeCsv(csv) || !convert(csv, QStringLiteral("xls"), folder.path()) ||
        !convert(csv, QStringLiteral("xlsx"), folder.path())) {
        out << "bench_import: cannot prepare the workbooks (is soffice installed?)\n";
        return 1;
    }

    TempAppFolder appFolder;
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    appFolder.addCategory(QStringLiteral("0001"), QStringLiteral("根"));
    appFolder.addCategory(QStringLiteral("00010001"), QStringLiteral("测试"), QStringLiteral("0001"));
    for (int c = 0; c < Columns; ++c)
        appFolder.addIndicator(QStringLiteral("00010001"), columnName(c), 0, QStringLiteral("Data%1").arg(c + 1),
                               c + 1);

    QMap<QString, QList<double>> times;
    for (int round = 0; round < rounds; ++round) {
        for (const QString &format : {QStringLiteral("xls"), QStringLiteral("xlsx")}) {
            appFolder.exec(QStringLiteral("DELETE FROM TContractMain"));
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = cpuMs();
            ContractImport import(appFolder.database(), QStringLiteral("00010001"));
            bool ok = import.openFile(folder.filePath(QStringLiteral("data.") + format));
            times[format + QStringLiteral(" read")].append(timer.nsecsElapsed() / 1e6);
            times[format + QStringLiteral(" read cpu")].append(cpuMs() - cpuStart);
            ok = ok && import.importRows();
            times[format].append(timer.nsecsElapsed() / 1e6);
            times[format + QStringLiteral(" cpu")].append(cpuMs() - cpuStart);
            const int stored = appFolder.scalar(QStringLiteral("SELECT COUNT(*) FROM TContractMain")).toInt();
            if (!ok || stored != Rows) {
                out << "bench_import: " << format << " import failed: " << messages.texts().join(u' ') << '\n';
                return 1;
            }
        }
        const QString db = folder.filePath(QStringLiteral("cli%1.db").arg(round));
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuMs();
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
                     {db, QStringLiteral(".mode csv"), QStringLiteral(".import ") + csv + QStringLiteral(" t")});
        if (!sqlite.waitForFinished(300000) || sqlite.exitCode() != 0) {
            out << "bench_import: sqlite3 failed\n";
            return 1;
        }
        times[QStringLiteral("sqlite3")].append(timer.nsecsElapsed() / 1e6);
        times[QStringLiteral("sqlite3 cpu")].append(cpuMs() - cpuStart);
    }
    Messages::setInstance(nullptr);

    const double cli = median(times.value(QStringLiteral("sqlite3")));
    const double cliCpu = median(times.value(QStringLiteral("sqlite3 cpu")));
    out << "rows " << Rows << " x columns " << Columns << ", median of " << rounds << " rounds (wall / processor)\n";
    out << "sqlite3 .import of the CSV: " << QString::number(cli, 'f', 0) << " / " << QString::number(cliCpu, 'f', 0)
        << " ms\n";
    for (const QString &format : {QStringLiteral("xls"), QStringLiteral("xlsx")}) {
        const double t = median(times.value(format));
        const double cpu = median(times.value(format + QStringLiteral(" cpu")));
        out << "import ." << format << ": " << QString::number(t, 'f', 0) << " / " << QString::number(cpu, 'f', 0)
            << " ms (reading the workbook "
            << QString::number(median(times.value(format + QStringLiteral(" read"))), 'f', 0) << " / "
            << QString::number(median(times.value(format + QStringLiteral(" read cpu"))), 'f', 0) << " ms), ratio "
            << QString::number(t / cli, 'f', 2) << " / " << QString::number(cpu / cliCpu, 'f', 2) << '\n';
    }
    return 0;
}
