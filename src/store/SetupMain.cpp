// vantrel-setup [application folder]: lays out a fresh application folder beside the program, or, for an installed
// program, the user's data folder with the demo. An existing database is kept as it is.
#include "store/AppFolder.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 2 && args.at(1) == QStringLiteral("--version")) {
        QTextStream(stdout) << "vantrel-setup " << VANTREL_VERSION << '\n';
        return 0;
    }
    QString error;
    const QString folder =
        args.size() > 1 ? args.at(1) : AppFolder::forProgram(QCoreApplication::applicationDirPath(), &error);
    if (!error.isEmpty() || !Schema::layOutAppFolder(folder, &error)) {
        QTextStream(stderr) << "vantrel-setup: " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << "vantrel-setup: application folder ready: " << QDir(folder).absolutePath() << '\n';
    return 0;
}
