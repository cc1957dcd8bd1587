#pragma once

#include "ContractDocument.h"

#include <QDialog>

#include <memory>

class QLabel;
class QTimer;
class WordApp;

// "合同编辑": the strip of buttons beside the word processor that shows one record's contract document.
class TfrmEditAHTDoc : public QDialog
{
    Q_OBJECT

public:
    TfrmEditAHTDoc(const QString &categoryCode, const QString &documentPath, int recordId,
                   std::unique_ptr<WordApp> word, QWidget *parent = nullptr);
    ~TfrmEditAHTDoc() override;

    ContractDocument &document() { return mDocument; }
    WordApp &word() { return *mWord; }
    QTimer *timer() const { return mPlacementTimer; }

    void done(int result) override;
    // "关闭", Esc and the close box: a changed document is asked about first.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void FormActivate();
    void save();
    void raiseOffice();

    std::unique_ptr<WordApp> mWord;
    ContractDocument mDocument;
    QLabel *mHint = nullptr;
    QTimer *mPlacementTimer = nullptr;
    bool mPrepared = false;
};
