#include "exchange/preview/PrintPreviewWindow.h"

#include "exchange/preview/GridPreview.h"
#include "exchange/preview/TablePainter.h"
#include "platform/Messages.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QPushButton *addButton(QHBoxLayout *bar, const QString &text, const QString &name) {
    auto *button = new QPushButton(text);
    button->setObjectName(name);
    button->setAutoDefault(false);
    bar->addWidget(button);
    return button;
}

} // namespace

PrintPreviewWindow::PrintPreviewWindow(QWidget *parent)
    : QDialog(parent)
    , mPrinter(new QPrinter(QPrinter::HighResolution))
    , mPreview(nullptr)
    , mPageLabel(new QLabel) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("打印预览窗口"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);
    resize(960, 720);

    mPrinter->setPageSize(QPageSize(QPageSize::A4));
    mPrinter->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    mPreview = new QPrintPreviewWidget(mPrinter, this);
    mPreview->setObjectName(QStringLiteral("previewPages"));

    auto *bar = new QHBoxLayout;
    QPushButton *print = addButton(bar, QStringLiteral("打印(&P)"), QStringLiteral("cmdPrint"));
    QPushButton *pdf = addButton(bar, QStringLiteral("保存为PDF(&S)"), QStringLiteral("cmdPdf"));
    bar->addSpacing(12);
    QPushButton *first = addButton(bar, QStringLiteral("首页"), QStringLiteral("cmdFirst"));
    QPushButton *previous = addButton(bar, QStringLiteral("上一页"), QStringLiteral("cmdPrevious"));
    QPushButton *next = addButton(bar, QStringLiteral("下一页"), QStringLiteral("cmdNext"));
    QPushButton *last = addButton(bar, QStringLiteral("末页"), QStringLiteral("cmdLast"));
    mPageLabel->setObjectName(QStringLiteral("lblPage"));
    bar->addWidget(mPageLabel);
    bar->addSpacing(12);
    QPushButton *zoomIn = addButton(bar, QStringLiteral("放大"), QStringLiteral("cmdZoomIn"));
    QPushButton *zoomOut = addButton(bar, QStringLiteral("缩小"), QStringLiteral("cmdZoomOut"));
    QPushButton *fitWidth = addButton(bar, QStringLiteral("适合宽度"), QStringLiteral("cmdFitWidth"));
    QPushButton *wholePage = addButton(bar, QStringLiteral("整页"), QStringLiteral("cmdFitPage"));
    bar->addStretch();
    QPushButton *back = addButton(bar, QStringLiteral("返回(&R)"), QStringLiteral("cmdReturn"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(mPreview, 1);

    connect(mPreview, &QPrintPreviewWidget::paintRequested, this, &PrintPreviewWindow::paintRequested);
    connect(mPreview, &QPrintPreviewWidget::previewChanged, this, &PrintPreviewWindow::updatePageLabel);
    connect(print, &QPushButton::clicked, this, &PrintPreviewWindow::printTable);
    connect(pdf, &QPushButton::clicked, this, &PrintPreviewWindow::savePdf);
    connect(first, &QPushButton::clicked, this, [this] {
        mPreview->setCurrentPage(1);
        updatePageLabel();
    });
    connect(previous, &QPushButton::clicked, this, [this] {
        mPreview->setCurrentPage(mPreview->currentPage() - 1);
        updatePageLabel();
    });
    connect(next, &QPushButton::clicked, this, [this] {
        mPreview->setCurrentPage(mPreview->currentPage() + 1);
        updatePageLabel();
    });
    connect(last, &QPushButton::clicked, this, [this] {
        mPreview->setCurrentPage(mPreview->pageCount());
        updatePageLabel();
    });
    connect(zoomIn, &QPushButton::clicked, mPreview, [this] { mPreview->zoomIn(); });
    connect(zoomOut, &QPushButton::clicked, mPreview, [this] { mPreview->zoomOut(); });
    connect(fitWidth, &QPushButton::clicked, mPreview, &QPrintPreviewWidget::fitToWidth);
    connect(wholePage, &QPushButton::clicked, mPreview, &QPrintPreviewWidget::fitInView);
    connect(back, &QPushButton::clicked, &mView, &PrintableGrid::requestReturn);
    connect(&mView, &PrintableGrid::returnRequested, this, &PrintPreviewWindow::leavePreview);
    connect(&mView, &PrintableGrid::activeChanged, this, [this](bool active) {
        if (active)
            mPreview->updatePreview();
    });
}

PrintPreviewWindow::~PrintPreviewWindow() {
    delete mPreview;
    delete mPrinter;
}

void PrintPreviewWindow::loadGrid(const QString &title, const GridContent &grid) {
    ::loadGrid(mView, title, grid);
    mPrinter->setPageOrientation(TablePainter::preferredOrientation(mView, mPrinter->pageLayout()));
    mPrinter->setDocName(title);
    if (mView.isActive())
        mPreview->updatePreview();
}

void PrintPreviewWindow::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    showCentred();
}

void PrintPreviewWindow::showCentred() {
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    mView.setActive(true);
}

void PrintPreviewWindow::leavePreview() {
    close();
}

void PrintPreviewWindow::paintRequested(QPrinter *printer) {
    TablePainter::print(mView, printer);
}

void PrintPreviewWindow::updatePageLabel() {
    mPageLabel->setText(QStringLiteral("%1 / %2").arg(mPreview->currentPage()).arg(mPreview->pageCount()));
}

void PrintPreviewWindow::printTable() {
    QPrintDialog dialog(mPrinter, this);
    dialog.setWindowTitle(QStringLiteral("打印"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!TablePainter::print(mView, mPrinter))
        Messages::instance().warning(QStringLiteral("打印发生错误，请检查打印机设置！"));
    mPreview->updatePreview();
}

void PrintPreviewWindow::savePdf() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QString name = mView.caption().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("打印列表");
    QString path = Messages::instance().saveFileName(QStringLiteral("保存为PDF文件"),
                                                     folder + u'/' + name + QStringLiteral(".pdf"),
                                                     QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    QString error;
    if (!TablePainter::writePdf(mView, path, &error))
        Messages::instance().warning(QStringLiteral("保存PDF文件发生错误！") + u'\r' + error);
}

bool previewGrid(const QString &title, const GridContent &grid, QWidget *parent) {
    PrintPreviewWindow form(parent);
    if (!grid.isOpen) {
        Messages::instance().information(QStringLiteral("无查询结果！"));
    } else {
        form.loadGrid(title, grid);
        form.exec();
    }
    return true;
}
