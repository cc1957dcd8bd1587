// fetch_child <appFolder> <document>: a program started anew on the folder brings the document (a path below the
// folder) up to date from the server, as a window does before it opens it. Prints "fetched", or the message the
// user would read and exits with 1.
#include "documents/DocumentSync.h"
#include "store/Database.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    Database &dm = Database::create(QString::fromLocal8Bit(argv[1]));
    if (!dm.isConnected()) {
        std::printf("connect: %s\n", qPrintable(dm.connectionError()));
        return 3;
    }
    QString error;
    const bool fetched = DocumentSync::fetchAnyFormat(dm.path(QString::fromLocal8Bit(argv[2])), &error);
    std::printf("%s\n", fetched ? "fetched" : DocumentSync::fetchFailedText(error).toUtf8().constData());
    std::fflush(stdout);
    // The connection goes before the application object it belongs to.
    Database::destroy();
    return fetched ? 0 : 1;
}
