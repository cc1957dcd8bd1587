#pragma once

#include "office/WordApp.h"

#include <QSet>
#include <QStringList>

// An in-process WordApp for tests of the windows that drive the office: the document is plain text in memory,
// every call is recorded, and any operation can be told to fail.
//
// open() reads a file that holds UTF-8 text (such as one saveAs() wrote) as the document's text; any other
// file (a real .Doc) opens as an empty document. saveAs() writes the text as UTF-8.
class StandInWordApp final : public WordApp {
public:
    StandInWordApp() = default;

    bool connect() override;
    // True for the next `polls` questions, as an office still coming up would answer (setStartingPolls()).
    bool isStarting() override;
    bool arrange() override;
    bool open(const QString &path) override;
    bool bringToFront() override;
    bool paste(const QString &text) override;
    bool encloseSelection(const QString &before, const QString &after) override;
    bool replace(const QString &findText, const QString &replaceWith, int *count = nullptr) override;
    // Optional clauses are settled first, the lines of the text taken as paragraphs.
    bool replaceInOrder(const QList<QPair<QString, QString>> &pairs, QList<int> *counts = nullptr,
                        const QHash<QString, QString> &conditions = {}) override;
    bool saveAs(const QString &path) override;
    // Writes "%PDF-stand-in" and the text, so that tests can tell what was exported.
    bool exportPdf(const QString &path) override;
    bool print() override;
    bool sendMail() override;
    bool quit() override;
    void disconnect() override;
    bool isConnected() const override { return mConnected; }
    bool hasDocument() const override { return mHasDocument; }
    std::optional<QString> documentText() override;
    bool isModified() override { return mHasDocument && mModified; }

    // The office's own Save (Ctrl+S in its window): writes the text where the document was opened from.
    bool saveInPlace();
    // Operations by name ("connect", "open", "replace", "saveAs", …) that fail from now on.
    void setFailing(const QString &operation, bool failing = true);
    // Operations by name that from now on hang until the watchdog ends the office: they fail as the real office
    // layer reports that, and the office is gone afterwards.
    void setHanging(const QString &operation, bool hanging = true);
    // Every call so far, as "name" or "name:argument" ("open:/path/x.Doc", "paste:[<甲方>]", "replace:a=>b").
    QStringList calls() const { return mCalls; }
    void clearCalls() { mCalls.clear(); }
    int callCount(const QString &operation) const;

    QString text() const { return mText; }
    // Sets the document's text as the user's typing would (the document counts as modified).
    void setText(const QString &text);
    void setModified(bool modified) { mModified = modified; }
    void setStartingPolls(int polls) { mStartingPolls = polls; }
    QString documentPath() const { return mPath; }
    int insertionPoint() const { return mInsertionPoint; }
    void setInsertionPoint(int position) { mInsertionPoint = position; }
    // A selection of length characters from the insertion point (0: none).
    void setSelectionLength(int length) { mSelectionLength = length; }
    bool isArranged() const { return mArranged; }

private:
    bool begin(const QString &operation, const QString &argument = QString(), bool needsDocument = true);

    QStringList mCalls;
    QSet<QString> mFailing;
    QSet<QString> mHanging;
    bool mConnected = false;
    bool mArranged = false;
    bool mHasDocument = false;
    bool mModified = false;
    int mStartingPolls = 0;
    QString mText;
    QString mPath;
    int mInsertionPoint = 0;
    int mSelectionLength = 0;
};
