// Measures what filling a contract costs on top of what the office needs anyway: load + N replacements + save
// against a bare load + save of the same document, in the same run with the same office.
//
//   bench_office_replace [markers=20] [occurrences=3] [rounds=10]

#include "LibreOfficeWordApp.h"
#include "OfficeFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
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
            doc.paragraphs << QStringLiteral("第%1条：本合同的指标%2为[<指标%2>]，双方确认无误。").arg(o * markers + m).arg(m);
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
    auto run = [&](bool fill) {
        QElapsedTimer t;
        t.start();
        if (!word.open(source))
            return -1.0;
        if (fill) {
            for (int m = 0; m < markers; ++m)
                word.replace(QStringLiteral("[<指标%1>]").arg(m), QStringLiteral("值%1").arg(m));
        }
        if (!word.saveAs(target))
            return -1.0;
        return t.nsecsElapsed() / 1e6;
    };
    run(false); // warm-up
    run(true);
    QList<double> bare, filled;
    for (int r = 0; r < rounds; ++r) {
        bare << run(false);
        filled << run(true);
    }
    std::sort(bare.begin(), bare.end());
    std::sort(filled.begin(), filled.end());
    const double b = bare.at(bare.size() / 2), f = filled.at(filled.size() / 2);
    out << "markers " << markers << " x " << occurrences << ", " << rounds << " rounds (median)\n"
        << "load + save:                 " << b << " ms\n"
        << "load + replacements + save:  " << f << " ms\n"
        << "ratio:                       " << f / b << Qt::endl;
    word.quit();
    return 0;
}
