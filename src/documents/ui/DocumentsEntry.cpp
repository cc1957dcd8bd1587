#include "DocumentsEntry.h"

#include "BatchGeneration.h"
#include "Clipboard.h"
#include "DocumentTemplateTab.h"
#include "Messages.h"
#include "StandInWordApp.h"
#include "TemplateEditor.h"
#include "TemplateImport.h"
#include "TemplatePage.h"
#include "TfrmEditADoc.h"
#include "TfrmEditAHTDoc.h"
#include "TfrmExdParaPropertyEdit.h"
#include "TfrmPropertySelect.h"

#ifdef VANTREL_HAVE_LIBREOFFICE
#include "LibreOfficeWordApp.h"
#include "OfficePdfRenderer.h"
#endif

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

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

void GenerateDocuments(const QList<int> &recordIds, QWidget *parent)
{
    if (recordIds.isEmpty())
        return;
    Messages &messages = Messages::instance();
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("批量生成合同文档"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("将为选定的 %1 份合同生成合同文档。").arg(recordIds.size()), &dialog));
    auto *regenerate = new QCheckBox(QStringLiteral("已经生成的合同文档重新生成（不选则跳过）"), &dialog);
    regenerate->setObjectName(QStringLiteral("regenerateBox"));
    auto *pdf = new QCheckBox(QStringLiteral("同时导出PDF文件"), &dialog);
    pdf->setObjectName(QStringLiteral("pdfBox"));
    auto *elsewhere = new QCheckBox(QStringLiteral("输出到其他文件夹："), &dialog);
    elsewhere->setObjectName(QStringLiteral("folderBox"));
    auto *folder = new QLabel(&dialog);
    folder->setObjectName(QStringLiteral("folderLabel"));
    for (QWidget *w : std::initializer_list<QWidget *>{regenerate, pdf, elsewhere, folder})
        layout->addWidget(w);
    QObject::connect(elsewhere, &QCheckBox::toggled, &dialog, [&](bool on) {
        const QString chosen = on ? messages.folderName(QStringLiteral("选择输出文件夹"), QDir::homePath()) : QString();
        const QSignalBlocker block(elsewhere);
        elsewhere->setChecked(!chosen.isEmpty());
        folder->setText(QDir::toNativeSeparators(chosen));
    });
    auto *buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("开始生成(&S)"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("startButton"));
    buttons->addButton(QStringLiteral("取消(&C)"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Offices of the batch's own, out of the user's sight, side by side.
    BatchGeneration::WordFactory newWord = hooks().wordAppFactory;
#ifdef VANTREL_HAVE_LIBREOFFICE
    if (!newWord)
        newWord = [] { return std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless); };
#endif
    if (!newWord) {
        messages.warning(TemplateEditor::officeMissingText());
        return;
    }
    const BatchGeneration::Options options{regenerate->isChecked(), pdf->isChecked(),
                                           QDir::fromNativeSeparators(folder->text())};
    QProgressDialog progress(parent);
    progress.setWindowTitle(QStringLiteral("批量生成合同文档"));
    progress.setCancelButtonText(QStringLiteral("取消"));
    progress.setRange(0, int(recordIds.size()));
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    int shownRecord = 0;
    // Cancel takes effect between two documents: what is done stays, nothing is left half-made.
    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        recordIds, options, newWord, BatchGeneration::defaultWorkers(), [&](int done, int current) {
            if (current != shownRecord || progress.value() != done) {
                shownRecord = current;
                progress.setLabelText(QStringLiteral("正在生成 %1 / %2\n%3")
                                          .arg(std::min(done + 1, int(recordIds.size())))
                                          .arg(recordIds.size())
                                          .arg(BatchGeneration::contractNumber(current)));
                progress.setValue(done);
            }
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    const bool cancelled = progress.wasCanceled();
    progress.setValue(int(recordIds.size()));
    QString summary = BatchGeneration::summary(results);
    if (cancelled)
        summary = QStringLiteral("已取消，其余 %1 份没有生成。\n").arg(recordIds.size() - results.size()) + summary;
    messages.information(summary);
}

void CheckTemplate(const QString &categoryCode, bool onlyProblems)
{
    if (categoryCode.isEmpty())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::unique_ptr<WordApp> word = newWordApp();
    bool clean = false;
    const QString text = TemplateImport::checkTemplate(categoryCode, *word, &clean);
    word->quit();
    QGuiApplication::restoreOverrideCursor();
    if (clean && onlyProblems)
        return;
    if (clean)
        Messages::instance().information(text);
    else
        Messages::instance().warning(text);
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
