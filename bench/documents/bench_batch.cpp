// Batch generation (the register's "批量生成合同文档", vantrel-generate): 100 lease contracts from the Word 97
// template against 100 bare load + save of that template by the same office in the same run, and 1 000 lease
// contracts from the same template as .docx, filled without the office. Then the same through vantrel-generate,
// the process and its offices started within the time: the .docx contracts against docxtemplater filling the same
// template as often (node and docxtemplater from NODE_PATH), the contracts with their PDFs against
// `soffice --convert-to pdf` of the same documents. Each command-line figure is the median of `rounds` runs.
//
//   bench_batch [contracts=100] [docx contracts=1000] [rounds=1]

#include "LeaseCategory.h"
#include "documents/BatchGeneration.h"
#include "documents/DocumentPaths.h"
#include "office/LibreOfficeWordApp.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

// Milliseconds of one run of a program to its end; negative when it failed (its output on stderr of this one).
// errors: what it wrote on standard error.
double timedRun(const QString &program, const QStringList &arguments, QString *errors = nullptr) {
    QProcess process;
    process.setProcessChannelMode(errors ? QProcess::SeparateChannels : QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(30 * 60 * 1000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        QTextStream(stderr) << program << " " << arguments.join(QLatin1Char(' ')) << ": "
                            << QString::fromUtf8(process.readAll().right(2000)) << Qt::endl;
        return -1;
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = std::max(1, app.arguments().value(1, QStringLiteral("100")).toInt());
    const int docxCount = std::max(1, app.arguments().value(2, QStringLiteral("1000")).toInt());
    const int rounds = std::max(1, app.arguments().value(3, QStringLiteral("1")).toInt());

    TempAppFolder folder;
    folder.addCategory(QStringLiteral("0001"), QStringLiteral("房屋租赁"));
    const QString docCode = QStringLiteral("00010001");
    const QString docxCode = QStringLiteral("00010002");
    const QList<int> docIds = leaseCategory(folder, docCode, count);
    const QList<int> docxIds = leaseCategory(folder, docxCode, docxCount);

    ScriptedMessages messages;
    Messages::setInstance(&messages);
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    const QString docTemplate = DocumentPaths::templateFile(docCode);
    const QString docxTemplate = folder.file(QStringLiteral("DB/ModelFiles/%1.docx").arg(docxCode));
    if (!word.connect() || !word.open(QStringLiteral(VANTREL_DEMO_TEMPLATE)) || !word.saveAs(docTemplate) ||
        !word.saveAs(docxTemplate)) {
        out << "templates: " << word.lastError() << Qt::endl;
        return 1;
    }

    // The reference: the office opening and saving the template as often, in the same run.
    const QString bare = folder.file(QStringLiteral("bare.Doc"));
    word.open(docTemplate);
    word.saveAs(bare);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        if (!word.open(docTemplate) || !word.saveAs(bare)) {
            out << "bare: " << word.lastError() << Qt::endl;
            return 1;
        }
    }
    const double bareMs = timer.nsecsElapsed() / 1e6;

    // The first contract converts the template once (as after every change of it); then the batch.
    BatchGeneration warm(folder.database(), word, {true, false, folder.file(QStringLiteral("warm"))});
    warm.run(docIds.first());
    // One office, one document after the other.
    BatchGeneration batch(folder.database(), word, {true, false, QString()});
    timer.restart();
    int failed = 0;
    for (int id : docIds)
        failed += batch.run(id).kind != BatchGeneration::Result::Kind::Generated;
    const double oneOfficeMs = timer.nsecsElapsed() / 1e6;

    // The batch as the register and vantrel-generate run it: offices of its own (started within the time
    // measured), side by side.
    const auto newWord = [] {
        auto word = std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless);
        word->setQuickSave(true);
        return word;
    };
    const auto count_failed = [](const QList<BatchGeneration::Result> &results) {
        return int(std::count_if(results.begin(), results.end(), [](const BatchGeneration::Result &r) {
            return r.kind != BatchGeneration::Result::Kind::Generated;
        }));
    };
    const int workers = BatchGeneration::defaultWorkers();
    timer.restart();
    failed += count_failed(
        BatchGeneration::runAll(folder.database(), docIds, {true, false, QString()}, newWord, workers, {}));
    const double batchMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    failed += count_failed(
        BatchGeneration::runAll(folder.database(), docxIds, {true, false, QString()}, newWord, workers, {}));
    const double docxMs = timer.nsecsElapsed() / 1e6;
    word.quit();

    // The command line, as a user runs it on the application folder.
    const QString generate = QStringLiteral(VANTREL_GENERATE);
    const QString node = QStringLiteral("node");
    QJsonObject values;
    for (const auto &pair : Lease)
        values.insert(QString::fromUtf16(pair[0]), QString::fromUtf16(pair[1]));
    const QString valuesFile = folder.file(QStringLiteral("lease.json"));
    QFile json(valuesFile);
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(values).toJson()) < 0)
        return 1;
    json.close();
    const QString pdfFolder = folder.file(QStringLiteral("soffice-pdf"));
    QStringList documents;
    for (int id : docIds)
        documents << DocumentPaths::contractFile(id);
    std::vector<double> cliDocx, docxtemplater, cliPdf, soffice;
    QString docxSteps, pdfSteps; // where the time went, as --verbose says it (the last round)
    for (int round = 0; round < rounds; ++round) {
        cliDocx.push_back(
            timedRun(generate,
                     {QStringLiteral("--folder"), folder.path(), QStringLiteral("--category"), docxCode,
                      QStringLiteral("--all"), QStringLiteral("--regenerate"), QStringLiteral("--verbose")},
                     &docxSteps));
        docxtemplater.push_back(timedRun(node, {QStringLiteral(VANTREL_DOCXTEMPLATER_FILL), docxTemplate, valuesFile,
                                                QString::number(docxCount), QStringLiteral("--total")}));
        // The office of the reference has a profile of its own, as each of ours has.
        QDir(pdfFolder).removeRecursively();
        soffice.push_back(timedRun(QStringLiteral("soffice"),
                                   QStringList{QStringLiteral("-env:UserInstallation=") +
                                                   QUrl::fromLocalFile(pdfFolder + "/profile").toString(),
                                               QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                               QStringLiteral("pdf"), QStringLiteral("--outdir"), pdfFolder} +
                                       documents));
        cliPdf.push_back(timedRun(generate,
                                  {QStringLiteral("--folder"), folder.path(), QStringLiteral("--category"), docCode,
                                   QStringLiteral("--all"), QStringLiteral("--regenerate"), QStringLiteral("--pdf"),
                                   QStringLiteral("--verbose")},
                                  &pdfSteps));
    }
    if (failed) {
        out << failed << " contracts failed: " << messages.texts().join(QLatin1Char('|')) << Qt::endl;
        return 1;
    }
    out << count << " x office load + save of the template: " << QString::number(bareMs, 'f', 0) << " ms\n"
        << count << " lease contracts (.Doc), one office:  " << QString::number(oneOfficeMs, 'f', 0) << " ms  (ratio "
        << QString::number(oneOfficeMs / bareMs, 'f', 2) << ")\n"
        << count << " lease contracts (.Doc), batch with " << workers
        << " offices, their start included: " << QString::number(batchMs, 'f', 0) << " ms  (ratio "
        << QString::number(batchMs / bareMs, 'f', 2) << ", target 1.3)\n"
        << docxCount << " lease contracts (.docx), batch:    " << QString::number(docxMs, 'f', 0)
        << " ms (target 10000 ms)" << Qt::endl;
    const double ourDocx = median(cliDocx);
    const double theirDocx = median(docxtemplater);
    const double ourPdf = median(cliPdf);
    const double theirPdf = median(soffice);
    if (ourDocx < 0 || ourPdf < 0)
        return 1;
    out << docxCount << " lease contracts (.docx), vantrel-generate: " << QString::number(ourDocx, 'f', 0) << " ms";
    if (theirDocx > 0)
        out << "   docxtemplater " << docxCount << " fills: " << QString::number(theirDocx, 'f', 0) << " ms  (ratio "
            << QString::number(ourDocx / theirDocx, 'f', 2) << ", target 0.15)";
    out << "\n"
        << count << " lease contracts with PDFs, vantrel-generate --pdf: " << QString::number(ourPdf, 'f', 0) << " ms";
    if (theirPdf > 0)
        out << "   soffice --convert-to pdf of the " << count << " .Doc: " << QString::number(theirPdf, 'f', 0)
            << " ms  (ratio " << QString::number(ourPdf / theirPdf, 'f', 2) << ", target 0.45)";
    out << Qt::endl;
    const auto steps = [](const QString &errors) {
        return errors.mid(errors.indexOf(QStringLiteral("用时（毫秒）：")));
    };
    out << "vantrel-generate --verbose, .docx:\n"
        << steps(docxSteps) << "vantrel-generate --verbose, --pdf:\n"
        << steps(pdfSteps) << Qt::flush;
    return 0;
}
