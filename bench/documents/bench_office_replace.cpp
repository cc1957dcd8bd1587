// Measures what filling a contract costs on top of what the office needs anyway: load + N replacements + save
// against a bare load + save of the same document, in the same run with the same office.
//
//   bench_office_replace [markers=20] [occurrences=3] [rounds=10]

#include "documents/OfficeFixture.h"
#include "office/LibreOfficeWordApp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int markers = args.size() > 1 ? args.at(1).toInt() : 20;
    const int occurrences = args.size() > 2 ? args.at(2).toInt() : 3;
    const int rounds = args.size() > 3 ? args.at(3).toInt() : 10;
    QTextStream out(stdout);

    QTemporaryDir dir;
    DocFixture doc;
    for (int o = 0; o < occurrences; ++o) {
        for (int m = 0; m < markers; ++m)
            doc.paragraphs
                << QStringLiteral("第%1条：本合同的指标%2为[<指标%2>]，双方确认无误。").arg(o * markers + m).arg(m);
    }
    const QString source = dir.filePath(QStringLiteral("template.Doc"));
    QString error;
    if (!writeDocFixture(source, doc, &error)) {
        out << "fixture: " << error << Qt::endl;
        return 1;
    }

    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    if (!word.connect()) {
        out << "connect: " << word.lastError() << Qt::endl;
        return 1;
    }
    const QString target = dir.filePath(QStringLiteral("out.Doc"));
    QList<QPair<QString, QString>> pairs;
    for (int m = 0; m < markers; ++m)
        pairs << qMakePair(QStringLiteral("[<指标%1>]").arg(m), QStringLiteral("值%1").arg(m));
    enum Mode { Bare, OneByOne, InOrder };
    auto run = [&](Mode mode) {
        QElapsedTimer t;
        t.start();
        if (!word.open(source))
            return -1.0;
        if (mode == OneByOne) {
            for (const auto &[marker, value] : pairs)
                word.replace(marker, value);
        } else if (mode == InOrder) {
            word.replaceInOrder(pairs);
        }
        if (!word.saveAs(target))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };
    run(Bare); // warm-up
    run(InOrder);
    QList<double> bare, single, batch;
    for (int r = 0; r < rounds; ++r) {
        bare << run(Bare);
        single << run(OneByOne);
        batch << run(InOrder);
    }
    auto median = [](QList<double> v) {
        std::sort(v.begin(), v.end());
        return v.at(v.size() / 2);
    };
    const double b = median(bare), s = median(single), f = median(batch);
    out << "markers " << markers << " x " << occurrences << ", " << rounds << " rounds (median)\n"
        << "load + save:                               " << b << " ms\n"
        << "load + replace() per marker + save:        " << s << " ms  (" << s / b << "x)\n"
        << "load + replaceInOrder(all markers) + save: " << f << " ms  (" << f / b << "x)" << Qt::endl;
    word.quit();
    return 0;
}
