#include "documents/ui/DocumentsEntry.h"

#include "documents/BatchGeneration.h"
#include "documents/TemplateEditor.h"
#include "documents/TemplateImport.h"
#include "documents/ui/ContractDocumentWindow.h"
#include "documents/ui/TemplateEditorWindow.h"
#include "platform/Messages.h"

#include "documents/DocumentPaths.h"
#include "office/WordApp.h"

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
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

void GenerateDocuments(const DocumentServices &services, const QList<int> &recordIds, QWidget *parent) {
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
    buttons->addButton(QStringLiteral("开始生成(&S)"), QDialogButtonBox::AcceptRole)
        ->setObjectName(QStringLiteral("startButton"));
    buttons->addButton(QStringLiteral("取消(&C)"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Offices of the batch's own, out of the user's sight, side by side.
    const BatchGeneration::Options options{regenerate->isChecked(), pdf->isChecked(),
                                           QDir::fromNativeSeparators(folder->text())};
    QProgressDialog progress(parent);
    progress.setWindowTitle(QStringLiteral("批量生成合同文档"));
    progress.setCancelButtonText(QStringLiteral("取消"));
    progress.setRange(0, int(recordIds.size()));
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::WindowModal);
    progress.setLabelText(QStringLiteral("正在生成 1 / %1").arg(recordIds.size()));
    BatchGeneration::Step shown;
    // Cancel takes effect between two documents: what is done stays, nothing is left half-made.
    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        *services.database, recordIds, options, services.newBatchWordApp, BatchGeneration::defaultWorkers(),
        [&](const BatchGeneration::Step &step) {
            if (step.recordId != 0 && step.begun != shown.begun) {
                progress.setLabelText(QStringLiteral("正在生成 %1 / %2\n%3")
                                          .arg(step.begun)
                                          .arg(recordIds.size())
                                          .arg(BatchGeneration::contractNumber(*services.database, step.recordId)));
            }
            if (step.done != shown.done)
                progress.setValue(step.done);
            shown = step;
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.setValue(int(recordIds.size()));
    messages.information(BatchGeneration::summary(results, int(recordIds.size())));
}

void CheckTemplate(const DocumentServices &services, const QString &categoryCode, bool onlyProblems) {
    if (categoryCode.isEmpty())
        return;
    const std::unique_ptr<WordApp> word = services.newWordApp();
    if (!word)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
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

void EditTemplateDocument(const DocumentServices &services, const QString &categoryCode, const QString &templatePath) {
    std::unique_ptr<WordApp> word = services.newWordApp();
    if (!word)
        return;
    TemplateEditorWindow form(categoryCode, templatePath, std::move(word));
    form.editor().setIndicatorDialogs(services.editIndicatorName, services.selectIndicator);
    form.exec();
}

void EditTemplateBesideMainWindow(const DocumentServices &services, QWidget *anyWidget, const QString &categoryCode) {
    // The editor and the word processor take the screen; the main window shrinks to a strip meanwhile.
    QWidget *main = anyWidget ? anyWidget->window() : nullptr;
    if (main)
        main->resize(100, main->height());
    EditTemplateDocument(services, categoryCode, DocumentPaths::templateFile(categoryCode));
    if (main) {
        if (QScreen *screen = main->screen())
            main->resize(screen->availableGeometry().width(), main->height());
    }
}

bool openContractDocument(const DocumentServices &services, const QString &categoryCode, const QString &documentPath,
                          int recordId) {
    std::unique_ptr<WordApp> word = services.newWordApp();
    if (!word)
        return false;
    ContractDocumentWindow form(categoryCode, documentPath, recordId, std::move(word));
    form.exec();
    return form.document().saved();
}
