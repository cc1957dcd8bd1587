#pragma once

#include "platform/Messages.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// Messages for tests: records every text shown and answers from queues filled beforehand.
// An empty queue answers No, cancel ("取消") or empty text, and counts the question as unexpected.
class ScriptedMessages : public Messages {
public:
    enum class Kind { Information, Warning, Question, Input, Password, OpenFile, SaveFile };
    struct Shown {
        Kind kind;
        QString text;
    };

    void information(const QString &text) override;
    void warning(const QString &text) override;
    bool question(const QString &text) override;
    SaveChoice saveQuestion(const QString &text) override;
    std::optional<QString> inputText(const QString &caption, const QString &prompt, const QString &initial) override;
    QString passwordPrompt(const QString &caption, const QString &hint) override;
    QString openFileName(const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) override;
    // Answered from the file-name queue.
    QString folderName(const QString &caption, const QString &folder) override;

    void answerQuestion(bool yes) { mQuestions.enqueue(yes); }
    void answerSaveQuestion(SaveChoice choice) { mSaveChoices.enqueue(choice); }
    void answerInput(const std::optional<QString> &text) { mInputs.enqueue(text); }
    void answerPassword(const QString &text) { mPasswords.enqueue(text); }
    void answerFileName(const QString &path) { mFileNames.enqueue(path); }

    const QList<Shown> &shown() const { return mShown; }
    // The texts of every box shown, in order, whatever their kind.
    QStringList texts() const;
    QString lastText() const { return mShown.isEmpty() ? QString() : mShown.last().text; }
    int unexpected() const { return mUnexpected; }
    // Captions and proposals the program passed to input boxes and file dialogs.
    const QStringList &details() const { return mDetails; }
    void clear();

private:
    QList<Shown> mShown;
    QStringList mDetails;
    QQueue<bool> mQuestions;
    QQueue<SaveChoice> mSaveChoices;
    QQueue<std::optional<QString>> mInputs;
    QQueue<QString> mPasswords;
    QQueue<QString> mFileNames;
    int mUnexpected = 0;
};
