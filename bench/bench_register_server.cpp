// The register's list of one large category on the database server: ReadyGrid over 100 000 records x 80
// indicators, next to psql copying the same select to /dev/null. The server is a private cluster of this run
// (tests/support/pg-cluster.sh); the data are loaded with psql's \copy.
//   bench_register_server [--benchmark_repetitions=3 ...]
#include "BenchCluster.h"
#include "RegisterData.h"
#include "contracts/ContractRegister.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/ServerSettings.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

using namespace RegisterData;

ServerSettings gServer;
QString gPsql;

QString psqlProgram() {
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &v : versions) {
        const QString p = QStringLiteral("/usr/lib/postgresql/%1/bin/psql").arg(v);
        if (QFile::exists(p))
            return p;
    }
    return QStringLiteral("psql");
}

bool psql(const QString &database, const QString &command) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(gPsql, {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                    QStringLiteral("-h"), gServer.host, QStringLiteral("-p"), QString::number(gServer.port),
                    QStringLiteral("-U"), gServer.user, QStringLiteral("-d"), database, QStringLiteral("-c"), command});
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        std::fprintf(stderr, "psql: %s\n", p.readAllStandardError().constData());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The same category as the embedded register's benchmark: eighty indicators (text, number and date in turn).
bool generate(const QString &folder) {
    if (!Schema::layOutAppFolder(folder) || !gServer.write(folder))
        return false;
    {
        QString error;
        QSqlDatabase db = Database::openServer(gServer, QStringLiteral("bench-schema"), &error);
        const bool made = db.isOpen() && Schema::create(db, &error);
        db.close();
        if (!made) {
            std::fprintf(stderr, "schema: %s\n", qPrintable(error));
            return false;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-schema"));
    if (!Database::create(folder).isConnected())
        return false;
    if (!addCategory())
        return false;
    const QString csv = folder + QStringLiteral("/records.csv");
    {
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QTextStream out(&file);
        std::mt19937 rng(7);
        for (int r = 0; r < RecordCount; ++r) {
            out << Category;
            for (int i = 1; i <= IndicatorCount; ++i)
                out << ',' << cellValue(i, rng);
            out << '\n';
        }
    }
    QStringList columns{QStringLiteral("MainTypeCode")};
    for (int i = 1; i <= IndicatorCount; ++i)
        columns << QStringLiteral("Data%1").arg(i);
    return psql(gServer.database,
                QStringLiteral("\\copy TContractMain(%1) FROM '%2' CSV").arg(columns.join(QLatin1Char(',')), csv)) &&
           psql(gServer.database, QStringLiteral("ANALYZE"));
}

void BM_ReadyGridServer(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        if (!reg.loadRecords()) {
            const QString why = static_cast<ScriptedMessages &>(Messages::instance()).texts().join(QLatin1Char('|'));
            state.SkipWithError(qPrintable(QStringLiteral("ReadyGrid failed: ") + why));
        }
        benchmark::DoNotOptimize(reg.records()->recordCount());
    }
    state.counters["records"] = reg.records()->recordCount();
}

// As the window reads it: the first screen of rows (ReadyGrid returns) and all rows in, on a connection of its own.
void BM_ReadyGridServerFirstScreen(benchmark::State &state) {
    benchReadInBackground(state, false);
}

void BM_ReadyGridServerInBackground(benchmark::State &state) {
    benchReadInBackground(state, true);
}

void BM_PsqlCopy(benchmark::State &state) {
    ContractRegister reg(Database::instance());
    reg.setCurrentCategory(Category);
    reg.loadRecords();
    QString sql = reg.recordSql();
    sql.replace(QStringLiteral("MainTypeCode=?"), QStringLiteral("MainTypeCode='") + Category + QLatin1Char('\''));
    const QString command = QStringLiteral("\\copy (") + sql + QStringLiteral(") TO '/dev/null'");
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        if (!psql(gServer.database, command))
            state.SkipWithError("psql failed");
    }
}

BENCHMARK(BM_ReadyGridServer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadyGridServerFirstScreen)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ReadyGridServerInBackground)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PsqlCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    gPsql = psqlProgram();

    QTemporaryDir work;
    const BenchCluster cluster(work.filePath(QStringLiteral("pg")));
    const std::optional<ServerSettings> settings = cluster.settings(QStringLiteral("bench"));
    if (!settings)
        return 1;
    gServer = *settings;
    if (!psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE bench TEMPLATE template0 ENCODING 'UTF8'"))) {
        return 1;
    }
    QElapsedTimer loading;
    loading.start();
    if (!generate(work.filePath(QStringLiteral("app")))) {
        std::fprintf(stderr, "could not generate the benchmark data\n");
        return 1;
    }
    std::fprintf(stderr, "data loaded in %lld ms\n", loading.elapsed());
    return RegisterData::runBenchmarks(argc, argv);
}
