#pragma once

#include "documents/DocumentSession.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class WordApp;

// What the template editor window (TemplateEditorWindow) does: it edits one category's template document in the word
// processor beside it and inserts indicator markers. The window only forwards its events here.
class TemplateEditor : public DocumentSession {
public:
    // The indicator editor for a new indicator (table, category code, -1): the saved name, empty when nothing was
    // saved.
    using EditIndicatorNameFn = std::function<QString(const QString &table, const QString &categoryCode, int id)>;
    // The indicator picker: true and the chosen name when a choice was made.
    using SelectIndicatorFn = std::function<bool(const QString &categoryCode, QString *name)>;

    TemplateEditor(WordApp &word, const QString &categoryCode, const QString &templatePath);

    void setIndicatorDialogs(EditIndicatorNameFn editIndicatorName, SelectIndicatorFn selectIndicator);

    // Connects to the office, arranges its window and opens the template (or the empty template when the category
    // has none yet). True when a document is open and the placement timer is to be started.
    bool prepare();
    bool loadDocument(const QString &path);
    // On the timer after preparation: the office's window comes to the front.
    void raiseOffice();

    // "插入新指标": the indicator editor, then the new indicator's marker at the insertion point.
    void insertNewIndicator();
    // "插入已有指标": the indicator picker, then the chosen indicator's marker.
    void insertExistingIndicator();
    // "插入条件段落": the indicator picker, then the value the indicator must have (empty: any value); the
    // selected text is enclosed in the clause's markers, or an empty clause goes in at the insertion point.
    void insertClause();
    // "[<如果:名称>]", or "[<如果:名称=值>]" with a value.
    static QString clauseStart(const QString &indicatorName, const QString &value);
    // "保存": true when the template was written and the window is to close.
    bool save() override;
    // "打印".
    void print();

    QString categoryCode() const { return mCategoryCode; }
    QString templatePath() const { return mTemplatePath; }

    // The message shown when the office cannot be started or reached.
    static QString officeMissingText();

protected:
    // A new category's changes the office saved went into the copy, not into the template: still to be saved.
    bool hasUnsavedChange() override;
    QString storedPath() const override { return mTemplatePath; }
    void afterClosed() override;

private:
    void insertMarker(const QString &indicatorName);
    void showOfficeError();

    QString mCategoryCode;
    QString mTemplatePath;
    EditIndicatorNameFn mEditIndicatorName;
    SelectIndicatorFn mSelectIndicator;
    bool mSaved = false;
    // A new category's document: a copy of the empty template in a folder of its own, and its bytes as copied.
    std::unique_ptr<QTemporaryDir> mScratch;
    QString mWorkingCopy;
    QByteArray mBlankCopy;

    bool workingCopyChanged() const;
    // The saved template written back to a shared server; true when it is there.
    bool storeSaved();
};
