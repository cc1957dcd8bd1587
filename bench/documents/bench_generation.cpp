// Generation of one contract from a ten-page template with 80 markers, each three times, compared with the bare
// load + save of the same document by the same office in the same run. Medians over the rounds.
//
//   bench_generation [rounds=5]

#include "LeaseCategory.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/OfficeFixture.h"
#include "office/LibreOfficeWordApp.h"
#include "office/OfficeProcesses.h"
#include "office/SharedOffice.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QThread>

#include <algorithm>

namespace {

constexpr int Markers = 80;
constexpr int Occurrences = 3;
const QString Code = QStringLiteral("00010001");

DocFixture tenPages() {
    DocFixture doc;
    const QString filler =
        QStringLiteral("双方应本着诚实信用的原则履行本合同约定的各项义务，任何一方不得擅自变更或解除合同。");
    for (int o = 0; o < Occurrences; ++o) {
        for (int m = 0; m < Markers; ++m) {
            doc.paragraphs
                << QStringLiteral("第%1条：本合同约定的指标%2为[<指标%2>]，").arg(o * Markers + m + 1).arg(m) + filler;
        }
    }
    for (int t = 0; t < 12; ++t)
        doc.table << QStringList{QStringLiteral("项目%1").arg(t), QStringLiteral("[<指标%1>]").arg(t)};
    doc.header = QStringLiteral("合同编号：[<指标0>]");
    return doc;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = std::max(1, app.arguments().value(1, QStringLiteral("5")).toInt());

    TempAppFolder folder;
    if (!folder.isValid() || !folder.addCategory(QStringLiteral("0001"), QStringLiteral("基准")) ||
        !folder.addCategory(Code, QStringLiteral("基准合同"), QStringLiteral("0001"))) {
        out << "cannot lay out the application folder" << Qt::endl;
        return 1;
    }
    QStringList columns;
    QVariantList values{Code};
    for (int m = 0; m < Markers; ++m) {
        folder.addIndicator(Code, QStringLiteral("指标%1").arg(m), 0, QStringLiteral("Data%1").arg(m + 1), m + 1,
                            QString(), QString(), QStringLiteral("元"));
        columns << QStringLiteral("Data%1").arg(m + 1);
        values << QStringLiteral("值%1").arg(m);
    }
    folder.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, %1) VALUES (?%2)")
                    .arg(columns.join(QStringLiteral(", ")), QStringLiteral(", ?").repeated(Markers)),
                values);
    const int id = folder.scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();

    const QString templateFile = DocumentPaths::templateFile(Code);
    QString error;
    if (!writeDocFixture(templateFile, tenPages(), &error)) {
        out << "template: " << error << Qt::endl;
        return 1;
    }

    ScriptedMessages messages;
    Messages::setInstance(&messages);
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    if (!word.connect()) {
        out << "connect: " << word.lastError() << Qt::endl;
        return 1;
    }
    const QString barePath = folder.file(QStringLiteral("bare.Doc"));
    const QString contractPath = DocumentPaths::contractFile(id);

    auto bare = [&] {
        QElapsedTimer timer;
        timer.start();
        if (!word.open(templateFile) || !word.saveAs(barePath))
            return -1.0;
        return timer.nsecsElapsed() / 1e6;
    };
    auto generate = [&] {
        QFile::remove(contractPath);
        QElapsedTimer timer;
        timer.start();
        ContractDocument document(word, Code, contractPath, id);
        if (document.prepare() != ContractDocument::Preparation::Generated || !document.save())
            return -1.0;
        return timer.nsecsElapsed() / 1e6;
    };

    // The office layer's share: the same replacements straight on the document, without the window logic.
    auto direct = [&] {
        QList<QPair<QString, QString>> pairs;
        for (int m = 0; m < Markers; ++m)
            pairs.append({QStringLiteral("[<指标%1>]").arg(m), QStringLiteral("值%1元").arg(m)});
        QElapsedTimer timer;
        timer.start();
        if (!word.open(templateFile) || !word.replaceInOrder(pairs) || !word.saveAs(barePath))
            return -1.0;
        return timer.nsecsElapsed() / 1e6;
    };

    bare();
    generate();
    QList<double> bareTimes;
    QList<double> generateTimes;
    QList<double> directTimes;
    for (int r = 0; r < rounds; ++r) {
        bareTimes << bare();
        generateTimes << generate();
        directTimes << direct();
    }
    const auto filled = word.documentText().value_or(QString());
    if (filled.contains(QStringLiteral("[<")) || !messages.texts().isEmpty()) {
        out << "generation left markers or showed messages: " << messages.texts().join(QLatin1Char('|')) << Qt::endl;
        return 1;
    }
    // The demo lease contract as the user gets it with the program's office already running: a window's own
    // connection to the shared office, the contract generated into it (the template's converted copy made by
    // the first round, as by the first contract after the template changed).
    const QString leaseCode = QStringLiteral("00010002");
    const int leaseId = leaseCategory(folder, leaseCode, 1).constFirst();
    if (!word.open(QStringLiteral(VANTREL_DEMO_TEMPLATE)) || !word.saveAs(DocumentPaths::templateFile(leaseCode))) {
        out << "lease template: " << word.lastError() << Qt::endl;
        return 1;
    }
    // The shared office ends with the benchmark however it ends, as with the program.
    OfficeProcesses::installExitGuards();
    SharedOffice shared;
    shared.startInBackground();
    {
        LibreOfficeWordApp probe(shared);
        QElapsedTimer startWait;
        startWait.start();
        while (probe.isStarting() && startWait.elapsed() < 120000)
            QThread::msleep(20);
    }
    auto leaseContract = [&] {
        const QString path = DocumentPaths::contractFile(leaseId);
        QFile::remove(path);
        QElapsedTimer timer;
        timer.start();
        LibreOfficeWordApp window(shared);
        ContractDocument document(window, leaseCode, path, leaseId);
        if (!window.connect() || document.prepare() != ContractDocument::Preparation::Generated)
            return -1.0;
        const double ms = timer.nsecsElapsed() / 1e6;
        window.quit();
        return ms;
    };
    const double leaseFirst = leaseContract();
    QList<double> leaseTimes;
    for (int r = 0; r < rounds; ++r)
        leaseTimes << leaseContract();

    const double b = median(bareTimes);
    const double g = median(generateTimes);
    const double d = median(directTimes);
    out << Markers << " markers x " << Occurrences << " (+ table and header), " << rounds << " rounds, median\n"
        << "office load + save:                 " << QString::number(b, 'f', 1) << " ms\n"
        << "load + replaceInOrder + save:        " << QString::number(d, 'f', 1) << " ms  ("
        << QString::number(d / b, 'f', 2) << "x)\n"
        << "generation (copy, load, fill, save): " << QString::number(g, 'f', 1) << " ms  ("
        << QString::number(g / b, 'f', 2) << "x)\n"
        << "lease contract, office running:      " << QString::number(median(leaseTimes), 'f', 1)
        << " ms (first after a template change: " << QString::number(leaseFirst, 'f', 1) << " ms; target 1500 ms)"
        << Qt::endl;
    word.quit();
    return 0;
}
