#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Database;

// Empties the system for a fresh start: the business data (contract records and documents) and, on request, the
// basic information (categories, indicators, template documents). The login password is never touched.
class SystemRebuild {
public:
    // The statements in the order they run; "B_" marks a statement of the basic information.
    static QStringList rebuildStatements();

    // Mode 1 runs every statement (without its "B_"), any other mode only those without "B_". All run in one
    // transaction so the deferred foreign keys are checked once the tables are empty; a statement that fails is
    // rolled back on its own and skipped. Emptying the contract records empties the history of changes too. True when
    // every chosen statement ran; false when one failed or the database is not open.
    static bool runStatements(Database &database, const QStringList &statements, int mode);

    // True when the history of changes holds rows (the rebuild empties it with the contract records).
    static bool hasHistory(Database &database);

    // Deletes every file in `folder` and its sub-folders; the folders stay. A file that is read-only or cannot be
    // deleted is passed over. `remove` deletes one file (tests pass a failing one).
    static void clearFolder(const QString &folder, const std::function<bool(const QString &)> &remove = {});

    // Everything after the user's confirmation: closes the child windows first, runs `statements`, then clears
    // DB/ContractFile/ once the contract records are gone and, with `basic`, DB/ModelFiles/ once the categories
    // are gone. False when anything chosen was not emptied.
    static bool run(Database &database, const QStringList &statements, bool basic,
                    const std::function<void()> &closeChildWindows);
};
