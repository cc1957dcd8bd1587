// fill_save_child <appFolder> <category> <stopFile>: until the stop file appears, saves a new record of the category
// through the entry logic with every row filled, then opens that record again and saves it changed. Prints one line
// per box the user would have seen ("information: ...", "warning: ...", "question: ...") and "saved <ID>" after each
// save.
#include "contracts/ContractEntry.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {
const char *kindName(ScriptedMessages::Kind kind) {
    switch (kind) {
    case ScriptedMessages::Kind::Information:
        return "information";
    case ScriptedMessages::Kind::Warning:
        return "warning";
    default:
        return "question";
    }
}

// Opens the record (or a new one with id -1), fills every row with the text and saves; the record's ID, or -1 when
// it was not saved.
int fillAndSave(Database &dm, int id, const QString &category, const QString &text, ScriptedMessages &messages) {
    ContractEntry entry(dm, id, category);
    bool saved = false;
    if (entry.load()) {
        for (int row = 0; row < entry.grid().rows(); ++row)
            entry.commitText(row, text);
        entry.checkAndSave(&saved);
    }
    for (const ScriptedMessages::Shown &shown : messages.shown())
        std::printf("%s: %s\n", kindName(shown.kind), shown.text.toUtf8().constData());
    messages.clear();
    if (!saved)
        return -1;
    std::printf("saved %d\n", entry.contractId());
    std::fflush(stdout);
    return entry.contractId();
}
} // namespace

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
    const QString stopFile = QString::fromLocal8Bit(argv[3]);
    for (int i = 0; !QFileInfo::exists(stopFile); ++i) {
        const int id = fillAndSave(dm, -1, category, QStringLiteral("新%1").arg(i), messages);
        if (id >= 0)
            fillAndSave(dm, id, category, QStringLiteral("改%1").arg(i), messages);
    }
    std::fflush(stdout);
    // The connection goes before the application object it belongs to.
    Database::destroy();
    return 0;
}
