// The reminder list over 100 000 contracts with three marked dates each (in three formats), as the window
// "到期提醒" reads it, next to the sqlite3 command-line tool running a select of the same columns into /dev/null.
#include "RegisterData.h"
#include "contracts/DueReminderModel.h"
#include "contracts/DueReminders.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

constexpr int CategoryCount = 4;
constexpr int ContractsPerCategory = 25000;
constexpr int IndicatorCount = 20;
const QDate Today(2026, 6, 15);

QString category(int c) {
    return QStringLiteral("0001%1").arg(c + 1, 4, 10, QLatin1Char('0'));
}

// Each category: a numbering indicator, texts and numbers, an unmarked signing date and three marked dates
// written "yyyy-MM-dd", "yyyy年M月d日" and "MM/dd/yyyy" (30, 15 and 60 days ahead).
bool addCategories() {
    QSqlQuery q(Database::instance().connection());
    if (!execBound(q, QStringLiteral("INSERT INTO TContractClass VALUES ('0001','合同','',0)"), {}))
        return false;
    for (int c = 0; c < CategoryCount; ++c) {
        if (!execBound(q, QStringLiteral("INSERT INTO TContractClass VALUES (?,?,'0001',1)"),
                       {category(c), QStringLiteral("类别%1").arg(c + 1)}))
            return false;
        for (int i = 1; i <= IndicatorCount; ++i) {
            int type = 0;
            QString format;
            QString calc;
            int remind = 0;
            int days = 30;
            switch (i) {
            case 1:
                calc = QStringLiteral("[GETBILLID]{C[YYYY][IIII]}");
                break;
            case 4:
                type = 1;
                format = QStringLiteral("99999999999.99");
                break;
            case 5:
                type = 2;
                format = QStringLiteral("yyyy-MM-dd");
                break;
            case 6:
                type = 2, format = QStringLiteral("yyyy-MM-dd"), remind = 1, days = 30;
                break;
            case 7:
                type = 2, format = QStringLiteral("yyyy年M月d日"), remind = 1, days = 15;
                break;
            case 8:
                type = 2, format = QStringLiteral("MM/dd/yyyy"), remind = 1, days = 60;
                break;
            default:
                break;
            }
            if (!execBound(q,
                           QStringLiteral("INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,"
                                          "CalcStr,SortIdx,DataFieldA,DueRemind,DueDays) VALUES (?,?,?,?,?,?,?,?,?)"),
                           {category(c), QStringLiteral("指标%1").arg(i), type, format, calc, i,
                            QStringLiteral("Data%1").arg(i), remind, days}))
                return false;
        }
    }
    return true;
}

bool generate(const QString &folder) {
    QString error;
    if (!Schema::layOutAppFolder(folder, &error) || !Database::create(folder).isConnected() || !addCategories())
        return false;
    QStringList columns{QStringLiteral("MainTypeCode")};
    QStringList marks{QStringLiteral("?")};
    for (int i = 1; i <= IndicatorCount; ++i) {
        columns << QStringLiteral("Data%1").arg(i);
        marks << QStringLiteral("?");
    }
    std::mt19937 rng(11);
    // Dates over four years around today: a few in a hundred fall due.
    const auto date = [&rng] { return Today.addDays(int(rng() % 1461) - 730); };
    return Database::instance().inTransaction([&] {
        QSqlQuery insert(Database::instance().connection());
        if (!insert.prepare(QStringLiteral("INSERT INTO TContractMain (") + columns.join(QLatin1Char(',')) +
                            QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')')))
            return false;
        for (int c = 0; c < CategoryCount; ++c) {
            for (int r = 0; r < ContractsPerCategory; ++r) {
                insert.addBindValue(category(c));
                for (int i = 1; i <= IndicatorCount; ++i) {
                    switch (i) {
                    case 1:
                        insert.addBindValue(QStringLiteral("C2026%1").arg(r + 1, 5, 10, QLatin1Char('0')));
                        break;
                    case 4:
                        insert.addBindValue(QString::number(double(rng() % 10000000) / 100.0, 'f', 2));
                        break;
                    case 5:
                    case 6:
                        insert.addBindValue(date().toString(QStringLiteral("yyyy-MM-dd")));
                        break;
                    case 7:
                        insert.addBindValue(date().toString(QStringLiteral("yyyy年M月d日")));
                        break;
                    case 8:
                        insert.addBindValue(date().toString(QStringLiteral("MM/dd/yyyy")));
                        break;
                    default:
                        insert.addBindValue(RegisterData::textValue(rng));
                    }
                }
                if (!insert.exec())
                    return false;
            }
        }
        return true;
    });
}

// What the window does before it shows: the reminders read and handed to its two lists.
void BM_DueReminders(benchmark::State &state) {
    DueReminderModel due(DueReminderModel::Kind::Due);
    DueReminderModel unreadable(DueReminderModel::Kind::Unreadable);
    DueReminders reminders(Database::instance());
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        if (!reminders.load(Today))
            state.SkipWithError("load failed");
        due.setReminders(reminders.due());
        unreadable.setReminders(reminders.unreadable());
        benchmark::DoNotOptimize(due.rowCount());
    }
    state.counters["contracts"] = CategoryCount * ContractsPerCategory;
    state.counters["due"] = double(reminders.due().size());
}

// The columns the list reads, by the command-line tool.
void BM_Sqlite3CliSelect(benchmark::State &state) {
    const QString sql = QStringLiteral("SELECT ID,Data1,Data2,Data3,Data6,Data7,Data8 FROM TContractMain "
                                       "ORDER BY MainTypeCode, ID");
    for (auto _ : state) // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        RegisterData::runSqlite3(sql);
}

BENCHMARK(BM_DueReminders)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sqlite3CliSelect)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    QTemporaryDir folder;
    if (!folder.isValid() || !generate(folder.path())) {
        std::fprintf(stderr, "could not generate the benchmark data\n");
        return 1;
    }
    return RegisterData::runBenchmarks(argc, argv);
}
