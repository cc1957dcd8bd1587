#include "platform/ScriptedMessages.h"

void ScriptedMessages::information(const QString &text) {
    mShown.append({Kind::Information, text});
}

void ScriptedMessages::warning(const QString &text) {
    mShown.append({Kind::Warning, text});
}

bool ScriptedMessages::question(const QString &text) {
    mShown.append({Kind::Question, text});
    if (mQuestions.isEmpty()) {
        ++mUnexpected;
        return false;
    }
    return mQuestions.dequeue();
}

Messages::SaveChoice ScriptedMessages::saveQuestion(const QString &text) {
    mShown.append({Kind::Question, text});
    if (mSaveChoices.isEmpty()) {
        ++mUnexpected;
        return SaveChoice::Cancel;
    }
    return mSaveChoices.dequeue();
}

std::optional<QString> ScriptedMessages::inputText(const QString &caption, const QString &prompt,
                                                   const QString &initial) {
    mShown.append({Kind::Input, prompt});
    mDetails << caption << initial;
    if (mInputs.isEmpty()) {
        ++mUnexpected;
        return std::nullopt;
    }
    return mInputs.dequeue();
}

QString ScriptedMessages::passwordPrompt(const QString &caption, const QString &hint) {
    mShown.append({Kind::Password, hint});
    mDetails << caption;
    if (mPasswords.isEmpty()) {
        ++mUnexpected;
        return QString();
    }
    return mPasswords.dequeue();
}

QString ScriptedMessages::openFileName(const QString &caption, const QString &folder, const QString &filter) {
    mShown.append({Kind::OpenFile, caption});
    mDetails << folder << filter;
    if (mFileNames.isEmpty()) {
        ++mUnexpected;
        return QString();
    }
    return mFileNames.dequeue();
}

QString ScriptedMessages::folderName(const QString &caption, const QString &folder) {
    mShown.append({Kind::SaveFile, caption});
    mDetails << folder;
    if (mFileNames.isEmpty()) {
        ++mUnexpected;
        return QString();
    }
    return mFileNames.dequeue();
}

QString ScriptedMessages::saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) {
    mShown.append({Kind::SaveFile, caption});
    mDetails << proposedPath << filter;
    if (mFileNames.isEmpty()) {
        ++mUnexpected;
        return QString();
    }
    return mFileNames.dequeue();
}

QStringList ScriptedMessages::texts() const {
    QStringList out;
    for (const Shown &s : mShown)
        out << s.text;
    return out;
}

void ScriptedMessages::clear() {
    mShown.clear();
    mDetails.clear();
    mQuestions.clear();
    mSaveChoices.clear();
    mInputs.clear();
    mPasswords.clear();
    mFileNames.clear();
    mUnexpected = 0;
}
