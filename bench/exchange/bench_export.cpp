// Export of a register of 10 000 records × 20 columns to a new spreadsheet, compared with the office opening the
// same data as a CSV file. Each side runs on a warm headless office of its own, one after the other; medians over
// the rounds, as wall-clock time and as processor time of this program and its office.
//
//   bench_export [rounds=3]

#include "exchange/export/GridExport.h"
#include "office/LibreOfficeSheetApp.h"
#include "office/uno/OfficeInstance.h"
#include "office/uno/UnoDocuments.h"
#include "office/uno/UnoSupport.h"
#include "platform/ScriptedMessages.h"

#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/uno/Exception.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include <algorithm>

#include <unistd.h>

using namespace com::sun::star;
using namespace uno_support;

namespace {

constexpr int Records = 10000;
constexpr int Columns = 20;

// Texts, amounts, dates and numbers, as a lease register holds them.
GridContent makeRegister() {
    GridContent grid;
    for (int c = 0; c < Columns; ++c) {
        GridColumn column;
        column.title = c == 0 ? QStringLiteral("编号") : QStringLiteral("指标%1").arg(c);
        column.fieldName = c == 0 ? QStringLiteral("ID") : QStringLiteral("Data%1").arg(c);
        grid.columns << column;
    }
    grid.rows.reserve(Records);
    for (int r = 0; r < Records; ++r) {
        QStringList row;
        row.reserve(Columns);
        for (int c = 0; c < Columns; ++c) {
            switch (c % 4) {
            case 0:
                row << QString::number(r + 1);
                break;
            case 1:
                row << QStringLiteral("北京市朝阳区建国路%1号房屋租赁").arg(r % 977);
                break;
            case 2:
                row << QString::number((r * 37 + c) % 100000 + 0.25, 'f', 2);
                break;
            default:
                row << QStringLiteral("2026-%1-%2").arg(r % 12 + 1).arg(c % 28 + 1);
            }
        }
        grid.rows << row;
    }
    return grid;
}

QString csvField(const QString &text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

bool writeCsv(const QString &path, const GridContent &grid) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QStringList header;
    for (const auto &column : grid.columns)
        header << csvField(column.title);
    QByteArray data = header.join(u',').toUtf8() + '\n';
    for (const auto &row : grid.rows) {
        QStringList fields;
        for (const auto &cell : row)
            fields << csvField(cell);
        data += fields.join(u',').toUtf8() + '\n';
    }
    return file.write(data) == data.size();
}

// Forwards to the office and keeps the time each operation took, for the breakdown.
class TimedSheetApp final : public SheetApp {
public:
    explicit TimedSheetApp(SheetApp &inner)
        : mInner(inner) {}

    bool connect() override {
        return timed("connect", [&] { return mInner.connect(); });
    }
    bool newSpreadsheet() override {
        return timed("newSpreadsheet", [&] { return mInner.newSpreadsheet(); });
    }
    bool writeTexts(int row, int column, const QList<QStringList> &rows) override {
        return timed("writeTexts", [&] { return mInner.writeTexts(row, column, rows); });
    }
    bool writeCells(int row, int column, const QList<QList<SheetCell>> &rows) override {
        return timed("writeCells", [&] { return mInner.writeCells(row, column, rows); });
    }
    bool fitColumns(int column, int columns) override {
        return timed("fitColumns", [&] { return mInner.fitColumns(column, columns); });
    }
    bool setCaption(const QString &caption) override {
        return timed("setCaption", [&] { return mInner.setCaption(caption); });
    }
    bool show() override {
        return timed("show", [&] { return mInner.show(); });
    }
    std::optional<QList<QStringList>> readTexts(int row, int column, int rows, int columns) override {
        return mInner.readTexts(row, column, rows, columns);
    }
    std::optional<QList<QList<SheetCell>>> readCells(int row, int column, int rows, int columns) override {
        return mInner.readCells(row, column, rows, columns);
    }

    QMap<QString, double> times;

private:
    template <typename F> bool timed(const char *name, F call) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = call();
        times[QLatin1String(name)] += double(timer.nsecsElapsed()) / 1e6;
        if (!ok)
            fail(mInner.lastError());
        return ok;
    }

    SheetApp &mInner;
};

// Processor time of this program and every process it started (the office), in ms: on a busy machine it says
// more than the wall clock.
double processorMs() {
    QMap<qint64, qint64> parents;
    QMap<qint64, qint64> ticks;
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // The fields after the command name, which may hold spaces, start with the state.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        parents.insert(pid, fields.value(1).toLongLong());
        ticks.insert(pid, fields.value(11).toLongLong() + fields.value(12).toLongLong());
    }
    const qint64 self = QCoreApplication::applicationPid();
    qint64 total = 0;
    for (auto it = ticks.cbegin(); it != ticks.cend(); ++it) {
        for (qint64 pid = it.key(); pid > 1; pid = parents.value(pid)) {
            if (pid == self) {
                total += it.value();
                break;
            }
        }
    }
    return double(total) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// One export into a new spreadsheet; the spreadsheet is closed afterwards, outside the time taken.
double exportOnce(LibreOfficeSheetApp &sheet, const GridContent &grid, QMap<QString, double> *times, double *cpuMs) {
    TimedSheetApp timed(sheet);
    const double cpu = processorMs();
    QElapsedTimer timer;
    timer.start();
    const auto result = GridExport(timed).send(QString(), grid);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    *cpuMs = processorMs() - cpu;
    sheet.closeSpreadsheet();
    for (auto it = timed.times.cbegin(); it != timed.times.cend(); ++it)
        (*times)[it.key()] += it.value();
    return result == GridExport::Result::Sent ? ms : -1;
}

// The office opens the CSV file as a user's double-click would: comma separated, UTF-8, types detected.
double openCsvOnce(OfficeInstance &office, const QString &path, QString *error, double *cpuMs) {
    try {
        const auto args = props({
            prop("Hidden", uno::Any(true)),
            prop("FilterName", uno::Any(ascii("Text - txt - csv (StarCalc)"))),
            prop("FilterOptions", uno::Any(ascii("44,34,76,1"))),
        });
        const double cpu = processorMs();
        QElapsedTimer timer;
        timer.start();
        const auto document = office.desktop()->loadComponentFromURL(toOU(QUrl::fromLocalFile(path).toString()),
                                                                     ascii("_blank"), 0, args);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        *cpuMs = processorMs() - cpu;
        if (!document.is()) {
            *error = QStringLiteral("the office did not open the CSV file");
            return -1;
        }
        closeUnsaved(document);
        return ms;
    } catch (const uno::Exception &e) {
        *error = describe(e);
        return -1;
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = std::max(1, app.arguments().value(1, QStringLiteral("3")).toInt());

    const GridContent grid = makeRegister();
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("register.csv"));
    if (!dir.isValid() || !writeCsv(csv, grid)) {
        out << "cannot write the CSV file" << Qt::endl;
        return 1;
    }

    ScriptedMessages messages;
    Messages::setInstance(&messages);
    QList<double> exports;
    QList<double> exportCpu;
    QMap<QString, double> times;
    {
        LibreOfficeSheetApp sheet(LibreOfficeSheetApp::Display::Headless);
        if (!sheet.connect()) {
            out << "cannot start the office: " << sheet.lastError() << Qt::endl;
            return 1;
        }
        for (int round = 0; round <= rounds; ++round) {
            double cpu = 0;
            const double ms = exportOnce(sheet, grid, &times, &cpu);
            if (ms < 0) {
                out << "export failed: " << messages.texts().join(u' ') << Qt::endl;
                return 1;
            }
            if (round == 0) { // the first round warms the office up
                times.clear();
                continue;
            }
            exports << ms;
            exportCpu << cpu;
        }
    }

    QList<double> opens;
    QList<double> openCpu;
    {
        OfficeInstance office(OfficeInstance::Kind::Private, true);
        QString error;
        if (!office.ensureRunning(&error)) {
            out << "cannot start the office: " << error << Qt::endl;
            return 1;
        }
        for (int round = 0; round <= rounds; ++round) {
            double cpu = 0;
            const double ms = openCsvOnce(office, csv, &error, &cpu);
            if (ms < 0) {
                out << "CSV open failed: " << error << Qt::endl;
                return 1;
            }
            if (round == 0)
                continue;
            opens << ms;
            openCpu << cpu;
        }
    }

    const double exportMs = median(exports);
    const double openMs = median(opens);
    out << "register " << Records << " x " << Columns << ", median of " << rounds << " rounds" << Qt::endl;
    out << "export to a new spreadsheet: " << QString::number(exportMs, 'f', 0) << " ms, processor "
        << QString::number(median(exportCpu), 'f', 0) << " ms" << Qt::endl;
    out << "office opening the CSV:      " << QString::number(openMs, 'f', 0) << " ms, processor "
        << QString::number(median(openCpu), 'f', 0) << " ms" << Qt::endl;
    out << "export's office calls, mean per round:";
    for (auto it = times.cbegin(); it != times.cend(); ++it)
        out << ' ' << it.key() << ' ' << QString::number(it.value() / rounds, 'f', 0) << " ms";
    out << Qt::endl;
    out << "ratio export / CSV:          " << QString::number(exportMs / openMs, 'f', 2) << " (processor time "
        << QString::number(median(exportCpu) / median(openCpu), 'f', 2) << ")" << Qt::endl;
    return 0;
}
