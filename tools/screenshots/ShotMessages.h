#pragma once

#include "platform/QtMessages.h"

#include <QQueue>

// The real message boxes and dialogs, except that file names queued beforehand answer the next file dialog without
// showing it (the import's workbook). Every text shown is also written to the log.
class ShotMessages : public QtMessages {
public:
    void answerFileName(const QString &path) { mFileNames.enqueue(path); }

    void information(const QString &text) override;
    void warning(const QString &text) override;
    QString openFileName(const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) override;

private:
    QQueue<QString> mFileNames;
};
