// Batch generation (the register's "批量生成合同文档", vantrel-generate): 100 lease contracts from the Word 97
// template against 100 bare load + save of that template by the same office in the same run, and 1 000 lease
// contracts from the same template as .docx, filled without the office.
//
//   bench_batch [contracts=100] [docx contracts=1000]

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
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int count = std::max(1, app.arguments().value(1, QStringLiteral("100")).toInt());
    const int docxCount = std::max(1, app.arguments().value(2, QStringLiteral("1000")).toInt());

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
    BatchGeneration warm(word, {true, false, folder.file(QStringLiteral("warm"))});
    warm.run(docIds.first());
    // One office, one document after the other.
    BatchGeneration batch(word, {true, false, QString()});
    timer.restart();
    int failed = 0;
    for (int id : docIds)
        failed += batch.run(id).kind != BatchGeneration::Result::Kind::Generated;
    const double oneOfficeMs = timer.nsecsElapsed() / 1e6;

    // The batch as the register and vantrel-generate run it: offices of its own (started within the time
    // measured), side by side.
    const auto newWord = [] { return std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless); };
    const auto count_failed = [](const QList<BatchGeneration::Result> &results) {
        return int(std::count_if(results.begin(), results.end(), [](const BatchGeneration::Result &r) {
            return r.kind != BatchGeneration::Result::Kind::Generated;
        }));
    };
    const int workers = BatchGeneration::defaultWorkers();
    timer.restart();
    failed += count_failed(BatchGeneration::runAll(docIds, {true, false, QString()}, newWord, workers, {}));
    const double batchMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    failed += count_failed(BatchGeneration::runAll(docxIds, {true, false, QString()}, newWord, workers, {}));
    const double docxMs = timer.nsecsElapsed() / 1e6;
    word.quit();
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
    return 0;
}
