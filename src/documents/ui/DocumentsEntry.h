#pragma once

#include "TemplateEditor.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class PdfRenderer;
class QWidget;
class WordApp;

// What the other windows of the program use from the documents subsystem: the template tab's page, the template
// editor and the contract document window, and the hooks the application wires once at start-up.

// Wires this subsystem into the others once at start-up: the template management window's template page
// (TemplateTab's factory) and the template editor's indicator editor and picker (the catalogue's EditIndicatorName
// and SelectIndicator). The contract register's hook is EditAHTDoc below.
void InstallDocumentHooks();

// The template tab's document view alone, for a parent in the template management window. afterEdit runs when the
// template editor opened from the page has closed (the window re-runs its tree click there); it may be empty.
QWidget *CreateTemplatePage(QWidget *parent, std::function<void()> afterEdit = {});
// Shows the category's template (or the empty template) in a page made by CreateTemplatePage.
void ReadyTemplatePage(QWidget *page, const QString &categoryCode);
// "编辑模板(&E)": opens the template editor for the page's category (nothing for a root or no category), with the
// main window 100 pixels wide meanwhile.
void TemplatePageEditClick(QWidget *page);

// The template editor TfrmEditADoc, modal; returns when it has closed.
void EditTemplateDocument(const QString &categoryCode, const QString &templatePath);
// The contract document window TfrmEditAHTDoc, modal; true when the document was saved while it was open.
bool EditAHTDoc(const QString &categoryCode, const QString &documentPath, int recordId);

// Hooks. The indicator editor and picker of the catalogue, used by the template editor's two insert buttons.
void SetIndicatorDialogs(TemplateEditor::EditIndicatorNameFn editIndicatorName,
                         TemplateEditor::SelectIndicatorFn selectIndicator);
// The office connection each editor window makes for itself (tests hand out stand-ins). By default the real
// word processor, or, in a build without it, one that cannot be reached.
using WordAppFactory = std::function<std::unique_ptr<WordApp>()>;
void SetWordAppFactory(WordAppFactory factory);
// The renderer behind the template tab's view, shared by every page (by default the office's PDF export with its
// cache). The caller keeps ownership; nullptr returns to the default.
void SetPdfRenderer(PdfRenderer *renderer);

// Starts the office that the document windows share and returns at once: it comes up while the user works, so
// the first "生成/查看合同文档" or template editor does not wait for it.
void StartOfficeInBackground();

// "批量生成合同文档": asks how (existing documents skipped or made again, PDFs too, another folder), then makes the
// contract documents of the records in one office, with a progress window that can be cancelled between two
// documents, and ends with a summary.
void GenerateDocuments(const QList<int> &recordIds, QWidget *parent);

// "检查模板": checks the category's template against its indicators and shows what was found; with onlyProblems
// (after the template editor saved) nothing is shown when all is well.
void CheckTemplate(const QString &categoryCode, bool onlyProblems);
