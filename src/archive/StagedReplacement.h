#pragma once

#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

// Moves files that were prepared in a staging folder over the files of a target folder, all or nothing: each
// replaced file is first moved aside into an undo folder, and when any step fails every move done so far is
// reversed, so the target folder is exactly as it was. Files of the target that are not replaced stay.
// Staging, undo and target folder should lie on one file system, so that every move is a rename.
class StagedReplacement {
public:
    StagedReplacement(const QString &stagingFolder, const QString &targetFolder, const QString &undoFolder);

    // `files`: relative paths present in the staging folder. `removals`: relative paths of target files that must
    // go as well (moved aside, given back on failure). Refuses a path that would pass through a link below the
    // target folder.
    Status apply(const QStringList &files, const QStringList &removals = {});

    // Reverses the last successful apply() (a step after it failed): the replaced files come back from the undo
    // folder and the new ones go back into the staging folder. False when something could not be moved back; it
    // then stays in the undo folder.
    bool undo();

private:
    enum class Step { MadeFolder, MovedAside, MovedIn };
    struct Done {
        Step step;
        QString relative;
    };
    Status moveAside(const QString &relative);
    Status ensureParent(const QString &relative);

    QString mStaging;
    QString mTarget;
    QString mUndo;
    QList<Done> mDone;
};
