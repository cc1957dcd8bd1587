#pragma once

#include "exchange/preview/GridContent.h"
#include "exchange/preview/PrintableGrid.h"

#include <QDialog>

class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QPushButton;

// "打印预览窗口": the register's list as a printable table, paged like the printout, with printing, saving as
// PDF and zooming. The return button (or Esc) leaves the preview.
class PrintPreviewWindow : public QDialog {
    Q_OBJECT

public:
    explicit PrintPreviewWindow(QWidget *parent = nullptr);
    ~PrintPreviewWindow() override;

    void loadGrid(const QString &title, const GridContent &grid);
    PrintableGrid &grid() { return mView; }

    // The table in a PDF file chosen by the user; reports a failure.
    void savePdf();
    void printTable();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showCentred();
    void leavePreview();
    void paintRequested(QPrinter *printer);
    void updatePageLabel();

    PrintableGrid mView;
    QPrinter *mPrinter;
    QPrintPreviewWidget *mPreview;
    QLabel *mPageLabel;
};

// Shows a grid's records as a printable table in a modal preview. Always true.
bool previewGrid(const QString &title, const GridContent &grid, QWidget *parent = nullptr);
