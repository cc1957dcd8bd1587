#pragma once

#include "documents/ui/DocumentServices.h"

#include <QList>
#include <QString>

class QWidget;

// The documents subsystem's windows as the other windows open them, each with the services it runs on.

// The template editor TemplateEditorWindow, modal; returns when it has closed.
void EditTemplateDocument(const DocumentServices &services, const QString &categoryCode, const QString &templatePath);
// The template editor for the category, with the main window of `anyWidget` 100 pixels wide meanwhile; the main
// window gets the screen's width again afterwards.
void EditTemplateBesideMainWindow(const DocumentServices &services, QWidget *anyWidget, const QString &categoryCode);
// The contract document window ContractDocumentWindow, modal; true when the document was saved while it was open.
bool openContractDocument(const DocumentServices &services, const QString &categoryCode, const QString &documentPath,
                          int recordId);

// "批量生成合同文档": asks how (existing documents skipped or made again, PDFs too, another folder), then makes the
// contract documents of the records on offices of the batch's own, with a progress window that can be cancelled
// between two documents, and ends with a summary.
void GenerateDocuments(const DocumentServices &services, const QList<int> &recordIds, QWidget *parent);

// "检查模板": checks the category's template against its indicators and shows what was found; with onlyProblems
// (after the template editor saved) nothing is shown when all is well.
void CheckTemplate(const DocumentServices &services, const QString &categoryCode, bool onlyProblems);
