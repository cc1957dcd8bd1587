#include "screenshots/ShotMessages.h"

#include <QDebug>

void ShotMessages::information(const QString &text) {
    qInfo().noquote() << "message:" << text;
    QtMessages::information(text);
}

void ShotMessages::warning(const QString &text) {
    qInfo().noquote() << "warning:" << text;
    QtMessages::warning(text);
}

QString ShotMessages::openFileName(const QString &caption, const QString &folder, const QString &filter) {
    if (!mFileNames.isEmpty())
        return mFileNames.dequeue();
    return QtMessages::openFileName(caption, folder, filter);
}

QString ShotMessages::saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) {
    if (!mFileNames.isEmpty())
        return mFileNames.dequeue();
    return QtMessages::saveFileName(caption, proposedPath, filter);
}
