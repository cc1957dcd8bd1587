#pragma once

#include "documents/TemplateEditor.h"

#include <functional>
#include <memory>

class Database;
class PdfRenderer;
class WordApp;

// What the windows of the documents subsystem need from outside it: the way to reach the office, the renderer of
// the template view and the catalogue's indicator dialogs. The composition root (app/Composition) makes one for
// the program; tests make their own with stand-ins.
struct DocumentServices {
    using WordAppFactory = std::function<std::unique_ptr<WordApp>()>;

    // The program's database, owned by whoever made these services; required.
    Database *database = nullptr;
    // Each editor window's connection to the office (the one the program's windows share).
    WordAppFactory newWordApp;
    // An office of a batch's own, out of the user's sight; a batch makes one per core.
    WordAppFactory newBatchWordApp;
    // The template view's renderer, owned by whoever made these services; null leaves the view empty.
    PdfRenderer *pdfRenderer = nullptr;
    // Behind the template editor's two insert buttons.
    TemplateEditor::EditIndicatorNameFn editIndicatorName;
    TemplateEditor::SelectIndicatorFn selectIndicator;
};
