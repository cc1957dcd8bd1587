#include "TemplatePage.h"

#include "CategoryCodes.h"
#include "DocumentPaths.h"
#include "DocumentsEntry.h"
#include "PdfRenderer.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScopeGuard>
#include <QVBoxLayout>

#ifdef VANTREL_HAVE_QTPDF
#include <QPdfDocument>
#include <QPdfView>
#endif

namespace {
// Only child categories (the root's four digits and four more) own a template.
bool isChildCategory(const QString &code)
{
    return code.size() == 2 * qsizetype(CategoryCodes::PartDigits);
}
} // namespace

TemplatePage::TemplatePage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TemplatePage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
#ifdef VANTREL_HAVE_QTPDF
    mPdf = new QPdfDocument(this);
    auto *view = new QPdfView(this);
    view->setDocument(mPdf);
    view->setPageMode(QPdfView::PageMode::MultiPage);
    view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    mView = view;
    view->viewport()->installEventFilter(this);
#else
    mView = new QWidget(this);
#endif
    mView->setObjectName(QStringLiteral("OleContainer1"));
    mView->installEventFilter(this);
    layout->addWidget(mView);
}

int TemplatePage::pageCount() const
{
#ifdef VANTREL_HAVE_QTPDF
    return mPdf->pageCount();
#else
    return 0;
#endif
}

void TemplatePage::clearView()
{
    mShownDocument.clear();
    mShownPdf.clear();
#ifdef VANTREL_HAVE_QTPDF
    mPdf->close();
#endif
}

void TemplatePage::ReadyModel(const QString &categoryCode)
{
    mCategoryCode = categoryCode;
    clearView();
    const QString document = DocumentPaths::documentToShow(categoryCode);
    PdfRenderer *renderer = documentsPdfRenderer();
    if (document.isEmpty() || !renderer)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    QString pdf;
    if (!renderer->pdfFor(document, &pdf))
        return;
#ifdef VANTREL_HAVE_QTPDF
    if (mPdf->load(pdf) != QPdfDocument::Error::None) {
        mPdf->close();
        return;
    }
#endif
    mShownDocument = document;
    mShownPdf = pdf;
}

void EditTemplateBesideMainWindow(QWidget *anyWidget, const QString &categoryCode)
{
    // The editor and the word processor take the screen; the main window shrinks to a strip meanwhile.
    QWidget *main = anyWidget ? anyWidget->window() : nullptr;
    if (main)
        main->resize(100, main->height());
    EditTemplateDocument(categoryCode, DocumentPaths::templateFile(categoryCode));
    if (main) {
        if (QScreen *screen = main->screen())
            main->resize(screen->availableGeometry().width(), main->height());
    }
}

void TemplatePage::cmdSaveClick()
{
    if (mEditing || !isChildCategory(mCategoryCode))
        return;
    mEditing = true;
    const auto done = qScopeGuard([this] { mEditing = false; });
    EditTemplateBesideMainWindow(this, mCategoryCode);
    if (mAfterEdit)
        mAfterEdit();
    else
        ReadyModel(mCategoryCode);
}

bool TemplatePage::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseButtonRelease:
        if (mEditRequest)
            mEditRequest();
        else
            cmdSaveClick();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}
