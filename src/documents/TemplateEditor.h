#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class WordApp;

// What the template editor window (TemplateEditorWindow) does: it edits one category's template document in the word
// processor beside it and inserts indicator markers. The window only forwards its events here.
class TemplateEditor {
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
    bool ReadyData();
    bool LoadDoc(const QString &path);
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
    bool save();
    // "打印".
    void print();
    // Before the window closes ("关闭", Esc, the close box): a changed document asks "保存", "不保存" or "取消".
    // True when the window may close (saved, discarded, or nothing to lose).
    bool CanClose();
    // Closing: the office quits without saving.
    void FormCloseQuery();
    // Another window of the program came to the front: the office window goes back in front of it.
    void OtherWindowActivated();

    QString categoryCode() const { return mCategoryCode; }
    QString templatePath() const { return mTemplatePath; }

    // The message shown when the office cannot be started or reached.
    static QString officeMissingText();

private:
    void insertMarker(const QString &indicatorName);
    void showOfficeError();

    WordApp &mWord;
    QString mCategoryCode;
    QString mTemplatePath;
    EditIndicatorNameFn mEditIndicatorName;
    SelectIndicatorFn mSelectIndicator;
    bool mClosed = false;
    bool mSaved = false;
    // A new category's document: a copy of the empty template in a folder of its own, and its bytes as copied.
    std::unique_ptr<QTemporaryDir> mScratch;
    QString mWorkingCopy;
    QByteArray mBlankCopy;

    bool workingCopyChanged() const;
    // The saved template written back to a shared server; true when it is there.
    bool storeSaved();
};
