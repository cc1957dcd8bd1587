// The cost of the history of changes on a save: the entry dialog's save of one record of the register's large
// category (80 indicators, five of them changed per save), with its history row and without, on the embedded
// file and on a private PostgreSQL cluster (tests/support/pg-cluster.sh) started by the benchmark itself.
//   bench_save_history [--benchmark_repetitions=3 ...]
#include "BenchCluster.h"
#include "RegisterData.h"
#include "contracts/ContractEntry.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

using namespace RegisterData;

constexpr int Records = 1000;
QString gEmbeddedFolder;
QString gServerFolder;

bool fill() {
    if (!addCategory())
        return false;
    std::mt19937 rng(7);
    QStringList columns{QStringLiteral("MainTypeCode")};
    QStringList marks{QStringLiteral("?")};
    for (int i = 1; i <= IndicatorCount; ++i) {
        columns << QStringLiteral("Data%1").arg(i);
        marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("INSERT INTO TContractMain (%1) VALUES (%2)")
                            .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    return Database::instance().inTransaction([&] {
        QSqlQuery q(Database::instance().connection());
        for (int r = 0; r < Records; ++r) {
            QVariantList binds{Category};
            for (int i = 1; i <= IndicatorCount; ++i)
                binds << cellValue(i, rng);
            if (!execBound(q, sql, binds))
                return false;
        }
        return true;
    });
}

// Saves one record again and again, five text values changed each time, as a user saving in the entry dialog.
void saveLoop(benchmark::State &state, const QString &folder, bool withHistory) {
    if (!Database::create(folder).isConnected()) {
        state.SkipWithError("database not open");
        return;
    }
    ContractEntry entry(Database::instance(), Records / 2, Category);
    if (!entry.load()) {
        state.SkipWithError("record not loaded");
        return;
    }
    const ChangeHistory::Pause pause(!withHistory);
    int round = 0;
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        ++round;
        for (int row = 0; row < 15; row += 3)
            entry.commitText(row, QStringLiteral("第%1次保存的值%2").arg(round).arg(row));
        if (!entry.save()) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.counters["history rows"] =
        Database::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TChangeLog")).toDouble();
}

void BM_SaveEmbeddedWithHistory(benchmark::State &state) {
    saveLoop(state, gEmbeddedFolder, true);
}
void BM_SaveEmbeddedWithoutHistory(benchmark::State &state) {
    saveLoop(state, gEmbeddedFolder, false);
}
void BM_SaveServerWithHistory(benchmark::State &state) {
    saveLoop(state, gServerFolder, true);
}
void BM_SaveServerWithoutHistory(benchmark::State &state) {
    saveLoop(state, gServerFolder, false);
}

BENCHMARK(BM_SaveEmbeddedWithoutHistory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_SaveEmbeddedWithHistory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_SaveServerWithoutHistory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_SaveServerWithHistory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    QTemporaryDir work;

    gEmbeddedFolder = work.filePath(QStringLiteral("embedded"));
    if (!Schema::layOutAppFolder(gEmbeddedFolder) || !Database::create(gEmbeddedFolder).isConnected() || !fill()) {
        std::fprintf(stderr, "could not lay out the embedded database\n");
        return 1;
    }

    const BenchCluster cluster(work.filePath(QStringLiteral("pg")));
    const std::optional<ServerSettings> settings = cluster.settings(QStringLiteral("postgres"));
    if (!settings)
        return 1;
    ServerSettings server = *settings;
    gServerFolder = work.filePath(QStringLiteral("server"));
    bool made = false;
    {
        QString error;
        QSqlDatabase db = Database::openServer(server, QStringLiteral("bench-schema"), &error);
        made = db.isOpen() && QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE bench TEMPLATE template0"));
        db.close();
        server.database = QStringLiteral("bench");
        db = Database::openServer(server, QStringLiteral("bench-schema"), &error);
        made = made && db.isOpen() && Schema::create(db, &error);
        db.close();
        if (!made)
            std::fprintf(stderr, "server schema: %s\n", qPrintable(error));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-schema"));
    if (!made || !Schema::layOutAppFolder(gServerFolder) || !server.write(gServerFolder) ||
        !Database::create(gServerFolder).isConnected() || !fill()) {
        std::fprintf(stderr, "could not lay out the server database\n");
        return 1;
    }

    return RegisterData::runBenchmarks(argc, argv);
}
