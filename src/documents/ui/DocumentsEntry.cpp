#include "DocumentsEntry.h"

#include "Clipboard.h"
#include "Messages.h"
#include "StandInWordApp.h"
#include "DocumentTemplateTab.h"
#include "TemplatePage.h"
#include "TfrmExdParaPropertyEdit.h"
#include "TfrmPropertySelect.h"
#include "TfrmEditADoc.h"
#include "TfrmEditAHTDoc.h"

#ifdef VANTREL_HAVE_LIBREOFFICE
#include "LibreOfficeWordApp.h"
#include "OfficePdfRenderer.h"
#endif

#include <QApplication>

namespace {

struct Hooks
{
    TemplateEditor::EditIndicatorNameFn editIndicatorName;
    TemplateEditor::SelectIndicatorFn selectIndicator;
    WordAppFactory wordAppFactory;
    PdfRenderer *pdfRenderer = nullptr;
    std::unique_ptr<PdfRenderer> defaultRenderer;
};

Hooks &hooks()
{
    static Hooks instance;
    return instance;
}

std::unique_ptr<WordApp> newWordApp()
{
    if (hooks().wordAppFactory)
        return hooks().wordAppFactory();
#ifdef VANTREL_HAVE_LIBREOFFICE
    return std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::FromEnvironment,
                                                LibreOfficeWordApp::Office::Shared);
#else
    auto unreachable = std::make_unique<StandInWordApp>();
    unreachable->setFailing(QStringLiteral("connect"));
    return unreachable;
#endif
}

} // namespace

PdfRenderer *documentsPdfRenderer()
{
    Hooks &h = hooks();
    if (h.pdfRenderer)
        return h.pdfRenderer;
#ifdef VANTREL_HAVE_LIBREOFFICE
    if (!h.defaultRenderer) {
        h.defaultRenderer = std::make_unique<OfficePdfRenderer>(QString(), OfficePdfRenderer::Office::Shared);
        // The renderer's office ends with the application, not at static destruction.
        if (auto *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { hooks().defaultRenderer.reset(); });
    }
    return h.defaultRenderer.get();
#else
    return nullptr;
#endif
}

void StartOfficeInBackground()
{
#ifdef VANTREL_HAVE_LIBREOFFICE
    // Windows made by a factory of their own (tests) use their own offices.
    if (!hooks().wordAppFactory)
        LibreOfficeWordApp::startSharedOffice();
#endif
}

void InstallDocumentHooks()
{
    TemplateTab::setFactory([](QWidget *parent) -> TemplateTab * { return new DocumentTemplateTab(parent); });
    // Opened over the editor's tool window, which stays on top of everything else.
    SetIndicatorDialogs(
        [](const QString &table, const QString &categoryCode, int id) {
            return EditIndicatorName(table, categoryCode, id, QApplication::activeWindow());
        },
        [](const QString &categoryCode, QString *name) {
            return SelectIndicator(categoryCode, name, QApplication::activeWindow());
        });
}

QWidget *CreateTemplatePage(QWidget *parent, std::function<void()> afterEdit)
{
    auto *page = new TemplatePage(parent);
    page->setAfterEdit(std::move(afterEdit));
    return page;
}

void ReadyTemplatePage(QWidget *page, const QString &categoryCode)
{
    if (auto *templatePage = qobject_cast<TemplatePage *>(page))
        templatePage->ReadyModel(categoryCode);
}

void TemplatePageEditClick(QWidget *page)
{
    if (auto *templatePage = qobject_cast<TemplatePage *>(page))
        templatePage->cmdSaveClick();
}

void EditTemplateDocument(const QString &categoryCode, const QString &templatePath)
{
    TfrmEditADoc form(categoryCode, templatePath, newWordApp());
    form.editor().setIndicatorDialogs(hooks().editIndicatorName, hooks().selectIndicator);
    form.exec();
}

bool EditAHTDoc(const QString &categoryCode, const QString &documentPath, int recordId)
{
    TfrmEditAHTDoc form(categoryCode, documentPath, recordId, newWordApp());
    form.exec();
    return !form.document().NotSaved();
}

void SetIndicatorDialogs(TemplateEditor::EditIndicatorNameFn editIndicatorName,
                         TemplateEditor::SelectIndicatorFn selectIndicator)
{
    hooks().editIndicatorName = std::move(editIndicatorName);
    hooks().selectIndicator = std::move(selectIndicator);
}

void SetWordAppFactory(WordAppFactory factory)
{
    hooks().wordAppFactory = std::move(factory);
}

void SetPdfRenderer(PdfRenderer *renderer)
{
    hooks().pdfRenderer = renderer;
}
