#pragma once

#include "documents/DocumentSession.h"
#include "store/Indicator.h"

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>

#include <functional>
#include <memory>

class WordApp;
namespace PackageTemplate {
class Prepared;
}

// One marker of a template and the text that takes its place in a contract document.
struct MarkerPair {
    QString marker;
    QString replacement;
};

// What the contract document window (ContractDocumentWindow) does: it opens a record's contract document, or makes it
// from the category's template and fills every marker with the record's values, then saves, prints or mails it.
class ContractDocument : public DocumentSession {
public:
    enum class Preparation {
        Failed,     // a message was shown; the window stays open without a document
        Opened,     // the existing contract document is open, unchanged
        Generated,  // a copy of the template was opened and filled, and saved as the contract document
        NoTemplate, // the category has no template: the window closes itself on the timer
    };

    ContractDocument(WordApp &word, const QString &categoryCode, const QString &documentPath, int recordId);
    ~ContractDocument() override;

    // Called between markers while generating, so the window repaints and stays responsive.
    void setPump(std::function<void()> pump) { mPump = std::move(pump); }
    // Shows (true) or hides (false) the hint "正在生成合同......".
    void setHint(std::function<void(bool visible)> hint) { mHint = std::move(hint); }

    Preparation prepare();
    // "重新生成": fills the markers of the open document from the record. False when nothing was run.
    bool regenerate();
    // "保存": true when the document was written and the window is to close.
    bool save() override;
    // "检查合同文档": tells whether the document file is the one the program last wrote, and when and by whom.
    void checkDocument();
    // "打印".
    void print();
    // "电子邮件".
    void sendMail();
    // "导出PDF": the open document as a PDF where the user says, proposed as <contract number or ID>.pdf in the
    // user's documents folder.
    void exportPdf();
    // That proposed file name: the record's contract number (its numbering indicator's value), else its ID.
    QString pdfFileName() const;
    // A batch that only writes documents does not open each one in the word processor: .docx and .odt templates
    // are then filled without the office at all. (A PDF needs the document open.)
    void setShowInOffice(bool show) { mShowInOffice = show; }
    // The record and its category's indicators read beforehand (by a batch, on the thread that holds the
    // database): the document is then made without reading the database.
    void setRecordData(const QSqlRecord &record, const QList<Indicator> &indicators);
    // A .docx/.odt template read beforehand (a batch reads each template once): filled instead of reading the
    // template file again when it is the category's template.
    // The document path is a name of the caller's own that holds nothing yet (a batch's name for the document it
    // makes): the document is made from the template without looking for one there, locally or on the server.
    void setNewDocument(bool isNew) { mNewDocument = isNew; }
    void setPreparedTemplate(std::shared_ptr<const PackageTemplate::Prepared> prepared) {
        mPrepared = std::move(prepared);
    }
    // The contract number in a record of TContractMain: the value of its category's numbering indicator
    // ([GETBILLID]); empty when the category has none or the record holds none.
    static QString contractNumberIn(const QSqlRecord &record);
    // The same with the category's indicators already read.
    static QString contractNumberIn(const QSqlRecord &record, const QList<Indicator> &indicators);
    // On the timer after preparation: the office's window comes to the front; true when the window is to close
    // instead.
    bool raiseOffice();
    // A click on the window: the office window comes to the front.
    void windowClicked();

    // The document was saved while it was open.
    bool saved() const { return mSaved; }
    // The window is to close on its own (the category has no template).
    bool closeRequested() const { return mCloseRequested; }
    QString categoryCode() const { return mCategoryCode; }
    QString documentPath() const { return mDocumentPath; }
    int recordId() const { return mRecordId; }
    // The pairs of the last generation run, in SortIdx order.
    const QList<MarkerPair> &markerPairs() const { return mPairs; }

    // Value (as stored in the indicator's value column of the record) followed by the unit, for every indicator.
    static QList<MarkerPair> markerPairsFor(const QList<Indicator> &indicators, const QSqlRecord &record);
    // Indicator name -> its value without the unit: what the conditions of optional clauses test.
    static QHash<QString, QString> conditionValuesFor(const QList<Indicator> &indicators, const QSqlRecord &record);
    static QString templateMissingText();
    // Where the template copy is filled before it becomes the contract document at `documentPath`.
    static QString workingCopyPath(const QString &documentPath);

protected:
    bool hasUnsavedChange() override;
    // Closing while the markers are filled abandons the run; the document is not on disk yet.
    bool busy() const override { return mGenerating; }
    QString storedPath() const override { return mDocumentPath; }
    void beforeOfficeQuits() override { unlock(); }
    // The office's own Save may have written the copy being filled again.
    void afterClosed() override;

private:
    enum class Fill { NotRun, Failed, Filled };

    bool readRecord();
    QList<Indicator> indicators(bool *ok) const;
    Preparation generateFromPackage(const QString &templateFile);
    void showOfficeError();
    // A window's document is marked open while the window shows it; a batch leaves it alone.
    Preparation lockShown(Preparation prepared);
    void unlock();
    Preparation generateNew(const QString &templateFile);
    // The generated document written back to a shared server.
    void storeGenerated();
    // A history row for the document file as it is now.
    void recordWrite(const QString &action);
    Fill fillMarkers();
    // A new document straight from the template with every value in it, where the office offers that (much
    // quicker than opening the template and filling it there); NotRun when it does not.
    Fill fillPrefilled(const QString &templateFile);
    // The end of a fill: events let through, the hint hidden, a failure said; Filled when nothing went wrong.
    Fill endFill(const QString &error);
    static QList<QPair<QString, QString>> replacementsOf(const QList<MarkerPair> &pairs);

    bool mShowInOffice = true;
    bool mNewDocument = false;
    QString mCategoryCode;
    QString mDocumentPath;
    int mRecordId;
    QSqlRecord mRecord;
    bool mHaveRecord = false;
    bool mPreloaded = false;
    QString mLocked;              // the document this window has open, marked as such for batches
    QList<Indicator> mIndicators; // when preloaded
    std::shared_ptr<const PackageTemplate::Prepared> mPrepared;
    bool mSaved = false;
    bool mCloseRequested = false;
    bool mGenerating = false;
    QList<MarkerPair> mPairs;
    std::function<void()> mPump;
    std::function<void(bool)> mHint;
};
