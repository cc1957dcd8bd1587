#pragma once

#include <QList>
#include <QString>

#include <functional>

class QMdiArea;
class QTableView;
class QWidget;

// What the contract register reaches in other subsystems: the contract document window, the batch generation,
// the spreadsheet import, the print preview and the export of its list. The composition root (app/Composition)
// hands these to the window when it is made; tests hand in recorders.
struct ContractRegisterServices {
    // openContractDocument: category code, document path, record ID; the result is not used.
    std::function<bool(const QString &category, const QString &documentPath, int recordId)> editDocument;
    // "批量生成合同文档": the records' IDs in list order, the register window.
    std::function<void(const QList<int> &recordIds, QWidget *parent)> generateDocuments;
    // importContracts: the category the records are imported into.
    std::function<bool(const QString &category)> loadIn;
    // previewGrid: the window caption as title, the grid (its model is the record list).
    std::function<bool(const QString &title, QTableView *grid)> previewGrid;
    // sendGridToSpreadsheet: an empty title and the grid.
    std::function<void(const QString &title, QTableView *grid)> sendGridToExcel;
    // "到期提醒": the reminder window in the register's area.
    std::function<bool(QMdiArea *area)> openDueReminders;
};
