#include "archive/StagedReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString withSlash(const QString &folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool exists(const QString &path) {
    // A dangling link is still something in the way of a rename.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

StagedReplacement::StagedReplacement(const QString &stagingFolder, const QString &targetFolder,
                                     const QString &undoFolder)
    : mStaging(withSlash(stagingFolder))
    , mTarget(withSlash(targetFolder))
    , mUndo(withSlash(undoFolder)) {}

Status StagedReplacement::ensureParent(const QString &relative) {
    const QStringList parts = relative.split(QLatin1Char('/'));
    QString sub;
    for (int i = 0; i + 1 < parts.size(); ++i) {
        sub += parts.at(i);
        const QFileInfo info(mTarget + sub);
        if (info.isSymLink())
            return Status::failure(QStringLiteral("link in the way: ") + sub);
        if (!info.exists()) {
            if (!QDir().mkdir(mTarget + sub))
                return Status::failure(QStringLiteral("cannot create folder ") + sub);
            // The folder as it was staged: the restore stages its folders for the owner alone.
            if (QFileInfo(mStaging + sub).isDir())
                QFile::setPermissions(mTarget + sub, QFile::permissions(mStaging + sub));
            mDone << Done{Step::MadeFolder, sub};
        } else if (!info.isDir()) {
            return Status::failure(QStringLiteral("not a folder: ") + sub);
        }
        sub += QLatin1Char('/');
    }
    return Status::success();
}

Status StagedReplacement::moveAside(const QString &relative) {
    const QString target = mTarget + relative;
    if (!exists(target))
        return Status::success();
    if (QFileInfo(target).isDir() && !QFileInfo(target).isSymLink())
        return Status::failure(QStringLiteral("a folder is in the way: ") + relative);
    const QString aside = mUndo + relative;
    const int slash = relative.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !QDir().mkpath(mUndo + relative.left(slash)))
        return Status::failure(QStringLiteral("cannot create undo folder for ") + relative);
    if (!QFile::rename(target, aside))
        return Status::failure(QStringLiteral("cannot move aside ") + relative);
    mDone << Done{Step::MovedAside, relative};
    return Status::success();
}

Status StagedReplacement::apply(const QStringList &files, const QStringList &removals) {
    mDone.clear();
    if (!QDir().mkpath(mTarget) || !QDir().mkpath(mUndo))
        return Status::failure(QStringLiteral("cannot create ") + mTarget);
    Status done = Status::success();
    for (const QString &relative : removals) {
        if (!(done = ensureParent(relative)) || !(done = moveAside(relative)))
            break;
    }
    for (int i = 0; done && i < files.size(); ++i) {
        const QString &relative = files.at(i);
        if (!(done = ensureParent(relative)) || !(done = moveAside(relative)))
            break;
        if (!QFile::rename(mStaging + relative, mTarget + relative)) {
            done = Status::failure(QStringLiteral("cannot move in ") + relative);
            break;
        }
        mDone << Done{Step::MovedIn, relative};
    }
    if (!done)
        undo();
    return done;
}

bool StagedReplacement::undo() {
    bool all = true;
    for (int i = mDone.size() - 1; i >= 0; --i) {
        const Done &d = mDone.at(i);
        switch (d.step) {
        case Step::MovedIn:
            all = QFile::rename(mTarget + d.relative, mStaging + d.relative) && all;
            break;
        case Step::MovedAside:
            all = QFile::rename(mUndo + d.relative, mTarget + d.relative) && all;
            break;
        case Step::MadeFolder:
            QDir().rmdir(mTarget + d.relative);
            break;
        }
    }
    mDone.clear();
    return all;
}
