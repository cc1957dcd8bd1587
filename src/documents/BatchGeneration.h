#pragma once

#include "store/Indicator.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Database;
class WordApp;
namespace PackageTemplate {
class Prepared;
}

// The contract documents of many records in one go, through the same generation as "生成/查看合同文档". Every
// document (and its PDF) is made under a name of its own beside its place, unique to the batch, and renamed into it
// only when it is complete, so a failed or cancelled record leaves nothing half-written and an existing document as
// it was, and two batches on one folder (a window's and vantrel-generate's) never take each other's files.
class BatchGeneration {
public:
    struct Options {
        bool regenerate = false; // make existing documents again instead of skipping them
        bool pdf = false;        // a PDF beside each document, also beside one that is kept
        // Where the documents go; empty: DB/ContractFile. In another folder only the files the batch makes are
        // touched: a document of the record in another format there is the user's and stays.
        QString folder;
    };
    struct Result {
        enum class Kind { Generated, Skipped, Failed };
        int recordId = 0;
        Kind kind = Kind::Failed;
        QString document; // the document written (or the one that exists, when skipped)
        QString reason;   // why it was skipped or failed, for the user
        QString pdf;      // the PDF written beside the document (PDFs asked for)
        QString pdfError; // PDFs asked for and none written for this record: why
        // Markers of the template that name no indicator of the category: they stay in the document as they are.
        // Given with the first record of each category in a batch.
        QStringList unfilledMarkers;
        // What "检查模板" says of the template's optional clauses, one line each; also with the first record only.
        QStringList clauseProblems;
        double makeMs = 0; // making the document, its PDF included
        double pdfMs = 0;  // exporting the PDF
    };
    // What a document is made from: read from the database beforehand, so that it can be made on another thread.
    struct Job {
        int recordId = 0;
        QSqlRecord record; // empty: the record is gone
        QList<Indicator> indicators;
        bool indicatorsRead = false;
        bool checkTemplate = false; // also say which markers of the template stay unfilled
        QString fetchError;         // the shared server's documents could not be read: nothing is made
        // The category's .docx/.odt template, read once for the batch; null for a Word 97 template.
        std::shared_ptr<const PackageTemplate::Prepared> preparedTemplate;
    };
    // Where the time of a batch went, in milliseconds.
    struct Timing {
        double readMs = 0;        // reading the records and indicators (the calling thread)
        double templatesMs = 0;   // reading the .docx/.odt templates, once each
        int workers = 0;          // making the documents side by side
        double officeStartMs = 0; // starting the offices, all workers together (PDFs asked for)
        double makeMs = 0;        // from the first worker's start to the last document made
    };

    // The records are read from `database`; a batch's workers only make documents, in its application folder.
    BatchGeneration(Database &database, WordApp &word, Options options);

    // Reads the record (on the thread that holds the database) and makes its document.
    Result run(int recordId);
    static Job read(Database &database, int recordId);
    // The records of many IDs in one query, each category's indicators read once; in the order of the IDs (a
    // record that is gone gives a job with an empty record).
    static QList<Job> readMany(Database &database, const QList<int> &recordIds);
    // Makes the document of a record read before; touches files and the office only, never the database (a job
    // whose indicators could not be read fails).
    Result make(const Job &job);

    using WordFactory = std::function<std::unique_ptr<WordApp>()>;
    // Where a batch stands: documents finished, documents begun (the last one begun is the `begun`-th of the
    // batch) and the record of the last one begun.
    struct Step {
        int done = 0;
        int begun = 0;
        int recordId = 0;
    };
    // Called on the calling thread (which may let events through) whenever a document is begun or finished, and
    // about every 50 ms in between. False cancels: the documents being made are finished, no further one is begun.
    using Progress = std::function<bool(const Step &step)>;
    // Every record, by `workers` offices side by side (each made by newWord on a thread of its own; a .docx or
    // .odt template without PDF needs no office at all). The records are read here, on the calling thread. A record
    // given twice is made once. The results are in the order of the records; a cancelled batch returns those done.
    static QList<Result> runAll(Database &database, const QList<int> &recordIds, const Options &options,
                                const WordFactory &newWord, int workers, const Progress &progress,
                                Timing *timing = nullptr);
    // As many as the machine has cores, at most four (each office takes its share of memory).
    static int defaultWorkers();
    // Without an office (documents filled in the program, no PDFs): as many as the machine has cores.
    static int workersWithoutOffice();

    // The record's contract number (the value of its category's numbering indicator), else its ID, for progress.
    static QString contractNumber(Database &database, int recordId);
    // "已生成 N 份，跳过 N 份，失败 N 份。", with PDFs "已导出PDF文件 N 份（M 份没有导出）。", one line per record
    // that was skipped or failed or got no PDF, and the markers that stayed unfilled; led by "已取消，其余 N 份没有
    // 生成。" when fewer than `requested` records were made.
    static QString summary(const QList<Result> &results, int requested = 0);
    // The template markers the results report as unfilled, each once.
    static QStringList unfilledMarkers(const QList<Result> &results);
    // The clause problems of all results, each once.
    static QStringList clauseProblems(const QList<Result> &results);

private:
    struct Run;

    Result makeDocument(const Job &job);
    // The first record of a category: which markers of the template stay unfilled and what is wrong with its
    // optional clauses.
    void reportTemplate(const Job &job, const QString &category, Result &result);
    // The record's document already there for `target`, its place; empty when there is none.
    QString existingDocument(const QString &target, const QString &category) const;
    // True when the existing document stays (open in a window, or not to be made again): result says so.
    bool keepsExisting(const QString &existing, Result &result);
    // The document made under a name of the batch's own and renamed to `target` (in the template's format),
    // replacing `existing`; result says how it went.
    void makeInPlaceOf(const Job &job, const QString &target, const QString &existing, Result &result);
    // The PDF of a document that stays as it is, exported from that document.
    void exportKept(const QString &document, Result &result);
    // A PDF exported from the open document under a name of the batch's own; empty when it failed (the reason in
    // result.pdfError).
    QString exportStaged(const QString &document, Result &result);
    // The staged PDF renamed to its place beside the document.
    void placePdf(const QString &staged, const QString &document, Result &result);
    QString stagingPath(const QString &target) const;

    Database &mDb;
    WordApp &mWord;
    Options mOptions;
    // The documents' folder as it was when the batch began, to find a record's document under another letter case
    // without listing the folder for each record; null: listed each time.
    std::shared_ptr<const QHash<QString, QString>> mFolderNames;
    QString mToken; // in the names of the files being made: unique to this batch
};
