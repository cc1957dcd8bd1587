// The register's list of one large category: ReadyGrid (the query and the snapshot) and a filter over it, next to
// the sqlite3 command-line tool running the same select into /dev/null.
#include "RegisterData.h"
#include "contracts/ContractRegister.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace {

using namespace RegisterData;

// Indicator 3 (Data4) is a text column: filtering it for this text keeps about one record in five.
constexpr int FilterIndicator = 3;
const QString FilterText = QStringLiteral("华东");

QTemporaryDir *gFolder = nullptr;

// A category of eighty indicators (text, number and date in turn), none of them sorted, and its records.
bool generate(const QString &folder) {
    QString error;
    if (!Schema::layOutAppFolder(folder, &error) || !Database::create(folder).isConnected())
        return false;
    if (!addCategory())
        return false;
    QStringList columns{QStringLiteral("MainTypeCode")};
    QStringList marks{QStringLiteral("?")};
    for (int i = 1; i <= IndicatorCount; ++i) {
        columns << QStringLiteral("Data%1").arg(i);
        marks << QStringLiteral("?");
    }
    std::mt19937 rng(7);
    return Database::instance().inTransaction([&] {
        QSqlQuery insert(Database::instance().connection());
        if (!insert.prepare(QStringLiteral("INSERT INTO TContractMain (") + columns.join(QLatin1Char(',')) +
                            QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')')))
            return false;
        for (int r = 0; r < RecordCount; ++r) {
            insert.addBindValue(Category);
            for (int i = 1; i <= IndicatorCount; ++i)
                insert.addBindValue(cellValue(i, rng));
            if (!insert.exec())
                return false;
        }
        return true;
    });
}

// The register's statement with the category written in, as the command-line tool needs it.
QString cliSql(ContractRegister &reg, const QString &extraCondition = QString()) {
    QString sql = reg.recordSql();
    sql.replace(QStringLiteral("MainTypeCode=?"),
                QStringLiteral("MainTypeCode='") + Category + QLatin1Char('\'') + extraCondition);
    return sql;
}

void BM_ReadyGrid(benchmark::State &state) {
    state.counters["records"] = benchReadyGrid(state);
}

// The same list as the window reads it: the first screen of rows (ReadyGrid returns) and all rows in.
void BM_ReadyGridFirstScreen(benchmark::State &state) {
    benchReadInBackground(state, false);
}

void BM_ReadyGridInBackground(benchmark::State &state) {
    benchReadInBackground(state, true);
}

void BM_Sqlite3CliSelect(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    reg.loadRecords();
    const QString sql = cliSql(reg);
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        runSqlite3(sql);
}

void BM_Filter(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    reg.loadRecords();
    bool on = false;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        // Alternates with switching it off so every iteration scans all records.
        reg.applyFilter(FilterIndicator, on ? QString() : FilterText);
        on = !on;
        benchmark::DoNotOptimize(reg.records()->recordCount());
    }
    reg.applyFilter(FilterIndicator, FilterText);
    state.counters["shown"] = reg.records()->recordCount();
}

void BM_Sqlite3CliFilteredSelect(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    reg.loadRecords();
    const QString sql = cliSql(reg, QStringLiteral(" AND Data%1 LIKE '%%2%'").arg(FilterIndicator + 1).arg(FilterText));
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        runSqlite3(sql);
}

// Listing sorted by a number (Data2) and a date (Data3) indicator: the snapshot orders the rows by value itself;
// the reference is the command-line tool running the select ordered by the same columns as text.
bool setSorted(bool on) {
    QSqlQuery q(Database::instance().connection());
    return execBound(q,
                     QStringLiteral("UPDATE TDataPara SET IsSortField=? WHERE MainTypeCode=? AND DataFieldA IN "
                                    "('Data2','Data3')"),
                     {on ? 1 : 0, Category});
}

void BM_ReadyGridSorted(benchmark::State &state) {
    if (!setSorted(true))
        state.SkipWithError("could not set the sort indicators");
    benchReadyGrid(state);
    setSorted(false);
}

void BM_Sqlite3CliSortedSelect(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    reg.loadRecords();
    QString sql = cliSql(reg);
    sql.replace(QStringLiteral("ORDER BY ID DESC"), QStringLiteral("ORDER BY Data2,Data3 DESC"));
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        runSqlite3(sql);
}

BENCHMARK(BM_ReadyGrid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadyGridFirstScreen)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ReadyGridInBackground)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Sqlite3CliSelect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sqlite3CliFilteredSelect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadyGridSorted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sqlite3CliSortedSelect)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    QTemporaryDir folder;
    gFolder = &folder;
    if (!folder.isValid() || !generate(folder.path())) {
        std::fprintf(stderr, "could not generate the benchmark data\n");
        return 1;
    }
    return RegisterData::runBenchmarks(argc, argv);
}
