// race_save_child <appFolder> <category> <count>: saves `count` new records of the category through the entry
// logic, one after another, as a user who accepts every number offered. Prints one line per box the user would
// have seen ("information: ...", "warning: ..."), and "saved <ID>" after each save.
#include "contracts/ContractEntry.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    ScriptedMessages messages;
    Messages::setInstance(&messages);
    Database &dm = Database::create(QString::fromLocal8Bit(argv[1]));
    if (!dm.isConnected()) {
        std::printf("connect: %s\n", qPrintable(dm.connectionError()));
        return 3;
    }
    const QString category = QString::fromLocal8Bit(argv[2]);
    const int count = QByteArray(argv[3]).toInt();
    for (int i = 0; i < count; ++i) {
        ContractEntry entry(dm, -1, category);
        const bool opened = entry.load();
        bool saved = false;
        if (opened)
            entry.checkAndSave(&saved);
        for (const ScriptedMessages::Shown &shown : messages.shown()) {
            const char *kind = shown.kind == ScriptedMessages::Kind::Information ? "information" : "warning";
            std::printf("%s: %s\n", kind, shown.text.toUtf8().constData());
        }
        messages.clear();
        if (!saved) {
            Database::destroy();
            return 4;
        }
        std::printf("saved %d\n", entry.contractId());
    }
    std::fflush(stdout);
    // The connection goes before the application object it belongs to.
    Database::destroy();
    return 0;
}
