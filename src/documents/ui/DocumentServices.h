#pragma once

#include "documents/TemplateEditor.h"

#include <functional>
#include <memory>
#include <utility>

class Database;
class PdfRenderer;
class WordApp;

// What the windows of the documents subsystem need from outside it: the way to reach the office, the renderer of
// the template view and the catalogue's indicator dialogs. The composition root (app/Composition) makes one for
// the program; tests make their own with stand-ins. Every service is given when the struct is made: there is no
// empty one for a window to meet. A service may be replaced later (a test puts a stand-in renderer in).
struct DocumentServices {
    using WordAppFactory = std::function<std::unique_ptr<WordApp>()>;

    DocumentServices(Database &database, WordAppFactory newWordApp, WordAppFactory newBatchWordApp,
                     PdfRenderer &pdfRenderer, TemplateEditor::EditIndicatorNameFn editIndicatorName,
                     TemplateEditor::SelectIndicatorFn selectIndicator)
        : database(&database)
        , newWordApp(std::move(newWordApp))
        , newBatchWordApp(std::move(newBatchWordApp))
        , pdfRenderer(&pdfRenderer)
        , editIndicatorName(std::move(editIndicatorName))
        , selectIndicator(std::move(selectIndicator)) {}

    // The program's database, owned by whoever made these services.
    Database *database;
    // Each editor window's connection to the office (the one the program's windows share).
    WordAppFactory newWordApp;
    // An office of a batch's own, out of the user's sight; a batch makes one per core.
    WordAppFactory newBatchWordApp;
    // The template view's renderer, owned by whoever made these services.
    PdfRenderer *pdfRenderer;
    // Behind the template editor's two insert buttons.
    TemplateEditor::EditIndicatorNameFn editIndicatorName;
    TemplateEditor::SelectIndicatorFn selectIndicator;
};
