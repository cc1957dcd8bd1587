// vantrel-demo <appFolder>: installs the demo content into a freshly set up application folder.

#include "demo/DemoContent.h"
#include "store/Database.h"

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: vantrel-demo <application folder>\n";
        return 2;
    }
    const QString folder = QDir(args.at(1)).absolutePath() + QLatin1Char('/');
    if (!QFileInfo::exists(folder + Database::DatabaseFile)) {
        err << "vantrel-demo: no database at " << folder + Database::DatabaseFile << " (run vantrel-setup first)\n";
        return 1;
    }
    const std::unique_ptr<Database> database = Database::open(folder);
    QString message;
    const DemoContent::Result result = DemoContent::install(*database, &message);
    (result == DemoContent::Result::Failed ? err : out) << "vantrel-demo: " << message << '\n';
    return result == DemoContent::Result::Failed ? 1 : 0;
}
