#include "documents/ui/TemplatePage.h"

#include "catalogue/CategoryCodes.h"
#include "documents/DocumentPaths.h"
#include "documents/ui/DocumentsEntry.h"
#include "office/PdfRenderer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include <QPdfDocument>
#include <QPdfView>

namespace {
// Only child categories (the root's four digits and four more) own a template.
bool isChildCategory(const QString &code) {
    return code.size() == 2 * qsizetype(CategoryCodes::PartDigits);
}
} // namespace

TemplatePage::TemplatePage(const DocumentServices &services, QWidget *parent)
    : QWidget(parent)
    , mServices(services) {
    setObjectName(QStringLiteral("TemplatePage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mPdf = new QPdfDocument(this);
    auto *view = new QPdfView(this);
    view->setDocument(mPdf);
    view->setPageMode(QPdfView::PageMode::MultiPage);
    view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    mView = view;
    view->viewport()->installEventFilter(this);
    mView->setObjectName(QStringLiteral("documentView"));
    mView->installEventFilter(this);
    layout->addWidget(mView);
}

int TemplatePage::pageCount() const {
    return mPdf->pageCount();
}

void TemplatePage::clearView() {
    mShownDocument.clear();
    mShownPdf.clear();
    mPdf->close();
}

void TemplatePage::showTemplate(const QString &categoryCode) {
    mCategoryCode = categoryCode;
    clearView();
    // Clicked again while the office still comes up: the wait below shows the category clicked last.
    if (mWaitingForOffice)
        return;
    PdfRenderer *renderer = mServices.pdfRenderer;
    if (!renderer)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (renderer->isStarting()) {
        // The office the program started in the background is not up yet: the window stays responsive.
        const QPointer<TemplatePage> alive(this);
        mWaitingForOffice = true;
        while (renderer->isStarting()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (!alive)
                return;
            QThread::msleep(50);
        }
        mWaitingForOffice = false;
        clearView();
    }
    const QString document = DocumentPaths::documentToShow(mCategoryCode);
    if (document.isEmpty())
        return;
    QString pdf;
    if (!renderer->pdfFor(document, &pdf))
        return;
    if (mPdf->load(pdf) != QPdfDocument::Error::None) {
        mPdf->close();
        return;
    }
    mShownDocument = document;
    mShownPdf = pdf;
}

void TemplatePage::editTemplate() {
    if (mEditing || !isChildCategory(mCategoryCode))
        return;
    mEditing = true;
    const auto done = qScopeGuard([this] { mEditing = false; });
    EditTemplateBesideMainWindow(mServices, this, mCategoryCode);
    if (mAfterEdit)
        mAfterEdit();
    else
        showTemplate(mCategoryCode);
}

bool TemplatePage::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::MouseButtonRelease:
        if (mEditRequest)
            mEditRequest();
        else
            editTemplate();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}
