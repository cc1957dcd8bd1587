#pragma once

#include <QList>
#include <QString>

class WordApp;

// The contract documents of many records in one go, through the same generation as "生成/查看合同文档", one office
// for the whole batch. Every document is made under a name of its own beside its place and renamed into it only
// when it is complete, so a failed or cancelled record leaves nothing half-written and an existing document as it
// was.
class BatchGeneration {
public:
    struct Options {
        bool regenerate = false; // make existing documents again instead of skipping them
        bool pdf = false;        // a PDF beside each document
        QString folder;          // where the documents go; empty: DB/ContractFile
    };
    struct Result {
        enum class Kind { Generated, Skipped, Failed };
        int recordId = 0;
        Kind kind = Kind::Failed;
        QString document; // the document written (or the one that exists, when skipped)
        QString reason;   // why it was skipped or failed, for the user
    };

    BatchGeneration(WordApp &word, Options options);

    Result run(int recordId);

    // The record's contract number (the value of its category's numbering indicator), else its ID, for progress.
    static QString contractNumber(int recordId);
    // "已生成 N 份，跳过 N 份，失败 N 份。" and one line per record that was skipped or failed.
    static QString summary(const QList<Result> &results);

private:
    WordApp &mWord;
    Options mOptions;
};
