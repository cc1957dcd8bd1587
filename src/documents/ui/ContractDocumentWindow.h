#pragma once

#include "documents/ContractDocument.h"
#include "documents/ui/OfficeToolWindow.h"

#include <memory>

class QLabel;
class WordApp;

// "合同编辑": the strip of buttons beside the word processor that shows one record's contract document.
class ContractDocumentWindow : public OfficeToolWindow {
    Q_OBJECT

public:
    ContractDocumentWindow(const QString &categoryCode, const QString &documentPath, int recordId,
                           std::unique_ptr<WordApp> word, QWidget *parent = nullptr);
    ~ContractDocumentWindow() override;

    ContractDocument &document() { return mDocument; }

protected:
    DocumentSession &session() override { return mDocument; }
    bool prepareDocument() override { return mDocument.prepare() != ContractDocument::Preparation::Failed; }
    void placementTimeout() override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void save();

    ContractDocument mDocument;
    QLabel *mHint = nullptr;
};
