#pragma once

#include <QString>

class WordApp;

// A document open in the word processor for the user, and how its window closes: a changed document asks "保存",
// "不保存" or "取消" first; closing quits the office without saving and writes back to the shared server what the
// office's own Save wrote in place. The template editor (TemplateEditor) and the contract document
// (ContractDocument) are the two kinds.
class DocumentSession {
public:
    virtual ~DocumentSession();
    DocumentSession(const DocumentSession &) = delete;
    DocumentSession &operator=(const DocumentSession &) = delete;

    // "保存": true when the document was written and the window is to close.
    virtual bool save() = 0;
    // Before the window closes ("关闭", Esc, the close box): a changed document asks "保存", "不保存" or "取消".
    // True when the window may close (saved, discarded, or nothing to lose).
    bool canClose();
    // Closing: the office quits without saving. Only the first call does anything.
    void close();
    // Another window of the program came to the front: the office window goes back in front of it.
    void bringOfficeBack();

protected:
    // kind names the document for the user: "合同文档", "模板文档".
    DocumentSession(WordApp &word, QString kind);

    // A change the user would lose by closing now.
    virtual bool hasUnsavedChange() = 0;
    // The document is being made: closing abandons the run and the office window is left where it is.
    virtual bool busy() const { return false; }
    // Where the document is kept (locally, and on the server when the store is shared).
    virtual QString storedPath() const = 0;
    // The steps of close() of one kind: before the office quits, and after the change was written back.
    virtual void beforeOfficeQuits() {}
    virtual void afterClosed() {}

    WordApp &mWord;
    bool mClosed = false;

private:
    QString mKind;
};
