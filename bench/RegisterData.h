#pragma once

// The large category both register benchmarks list: eighty indicators (text, number and date in turn), none of
// them sorted, and the generated values of its records.
#include "contracts/ContractRegister.h"
#include "store/Database.h"

#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSqlQuery>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <random>

namespace RegisterData {

inline const QString Category = QStringLiteral("00010001");
constexpr int IndicatorCount = 80;
constexpr int RecordCount = 100000;

// Root, the category and its indicators, in the open database.
inline bool addCategory() {
    QSqlQuery q(Database::instance().connection());
    if (!execBound(q, QStringLiteral("INSERT INTO TContractClass VALUES ('0001','根','',0)"), {}) ||
        !execBound(q, QStringLiteral("INSERT INTO TContractClass VALUES (?,'大类','0001',1)"), {Category}))
        return false;
    for (int i = 1; i <= IndicatorCount; ++i) {
        if (!execBound(q,
                       QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,SortIdx,"
                                      "DataFieldA,IsSortField) VALUES (?,?,?,?,?,0)"),
                       {Category, QStringLiteral("指标%1").arg(i), (i - 1) % 3, i, QStringLiteral("Data%1").arg(i)}))
            return false;
    }
    return true;
}

inline QString textValue(std::mt19937 &rng) {
    static const QStringList words{QStringLiteral("华东"),     QStringLiteral("华北"), QStringLiteral("西南"),
                                   QStringLiteral("有限公司"), QStringLiteral("设备"), QStringLiteral("Alpha"),
                                   QStringLiteral("工程"),     QStringLiteral("采购"), QStringLiteral("Service"),
                                   QStringLiteral("租赁")};
    QString out;
    const int n = 1 + int(rng() % 4);
    for (int i = 0; i < n; ++i)
        out += words.at(int(rng() % words.size()));
    return out + QString::number(rng() % 1000);
}

// The value of indicator `indicator` (1-based) in the next record.
inline QString cellValue(int indicator, std::mt19937 &rng) {
    switch ((indicator - 1) % 3) {
    case 0:
        return textValue(rng);
    case 1:
        return QString::number(double(rng() % 10000000) / 100.0, 'f', 2);
    default:
        return QDate(2010, 1, 1).addDays(rng() % 1500).toString(Qt::ISODate);
    }
}

// The window's read: ReadyGrid in the background, timed to its first screen of rows and to its last row, the rows
// coming through the event loop as they do in the window; with `whole` false the read is stopped after the first
// screen (as when the user leaves the list). False when the read failed.
inline bool readInBackground(ContractRegister &reg, double &firstScreenSeconds, double &wholeSeconds,
                             bool whole = true) {
    reg.setReadInBackground(true);
    QElapsedTimer timer;
    timer.start();
    if (!reg.loadRecords())
        return false;
    firstScreenSeconds = double(timer.nsecsElapsed()) / 1e9;
    ContractRecordModel *records = reg.records();
    bool ok = true;
    if (!whole) {
        records->close();
        wholeSeconds = 0;
        return true;
    }
    if (records->isLoading()) {
        QEventLoop loop;
        QObject::connect(records, &ContractRecordModel::loaded, &loop, [&](bool done) {
            ok = done;
            loop.quit();
        });
        loop.exec();
    }
    wholeSeconds = double(timer.nsecsElapsed()) / 1e9;
    return ok;
}

// The category's list read in the foreground (ReadyGrid returns with every row), one read an iteration; the number
// of records listed.
inline int benchReadyGrid(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        if (!reg.loadRecords())
            state.SkipWithError("ReadyGrid failed");
        benchmark::DoNotOptimize(reg.records()->recordCount());
    }
    return reg.records()->recordCount();
}

// The category's list as the window reads it, each iteration timed to its first screen of rows (`whole` false) or
// to its last row; the benchmark is registered with UseManualTime().
inline void benchReadInBackground(benchmark::State &state, bool whole) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        double first = 0, all = 0;
        if (!readInBackground(reg, first, all, whole))
            state.SkipWithError("ReadyGrid failed");
        state.SetIterationTime(whole ? all : first);
    }
    if (whole)
        state.counters["records"] = reg.records()->recordCount();
}

// Runs the benchmarks the command line asks for, then closes the database; main()'s result.
inline int runBenchmarks(int &argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Database::destroy();
    return 0;
}

// The command-line tool running one statement on the open embedded database, its output thrown away: the
// reference the program's reads are measured against.
inline void runSqlite3(const QString &sql) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("sqlite3"), {Database::instance().path(Database::DatabaseFile), sql});
    p.waitForFinished(-1);
}

} // namespace RegisterData
