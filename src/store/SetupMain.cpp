// vantrel-setup [application folder]: lays out a fresh application folder beside the program.
// An existing database is kept as it is.
#include "Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QCoreApplication::applicationDirPath();
    QString error;
    if (!Schema::layOutAppFolder(folder, &error)) {
        QTextStream(stderr) << "vantrel-setup: " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << "vantrel-setup: application folder ready: " << QDir(folder).absolutePath() << '\n';
    return 0;
}
