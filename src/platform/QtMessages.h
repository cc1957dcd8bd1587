#pragma once

#include "platform/Messages.h"

class QWidget;

// Messages shown with Qt's dialogs, parented to the active window.
class QtMessages : public Messages {
public:
    void information(const QString &text) override;
    void warning(const QString &text) override;
    bool question(const QString &text) override;
    SaveChoice saveQuestion(const QString &text) override;
    std::optional<QString> inputText(const QString &caption, const QString &prompt, const QString &initial) override;
    QString passwordPrompt(const QString &caption, const QString &hint) override;
    QString openFileName(const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) override;
    QString folderName(const QString &caption, const QString &folder) override;

private:
    static QWidget *parentWindow();
};
