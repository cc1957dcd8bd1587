#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <utility>

class QMdiArea;
class QTableView;
class QWidget;

// What the contract register reaches in other subsystems: the contract document window, the batch generation,
// the spreadsheet import, the print preview and the export of its list. The composition root (app/Composition)
// hands these to the window when it is made; tests hand in recorders.
// Every one is required: the struct is made with all of them, and the window refuses to be made with an empty one,
// so that no button of the register can be left silently doing nothing.
struct ContractRegisterServices {
    // openContractDocument: category code, document path, record ID; the result is not used.
    using EditDocument = std::function<bool(const QString &category, const QString &documentPath, int recordId)>;
    // "批量生成合同文档": the records' IDs in list order, the register window.
    using GenerateDocuments = std::function<void(const QList<int> &recordIds, QWidget *parent)>;
    // importContracts: the category the records are imported into.
    using LoadIn = std::function<bool(const QString &category)>;
    // previewGrid: the window caption as title, the grid (its model is the record list).
    using PreviewGrid = std::function<bool(const QString &title, QTableView *grid)>;
    // sendGridToSpreadsheet: an empty title and the grid.
    using SendGridToExcel = std::function<void(const QString &title, QTableView *grid)>;
    // "到期提醒": the reminder window in the register's area.
    using OpenDueReminders = std::function<bool(QMdiArea *area)>;

    ContractRegisterServices(EditDocument editDocument, GenerateDocuments generateDocuments, LoadIn loadIn,
                             PreviewGrid previewGrid, SendGridToExcel sendGridToExcel,
                             OpenDueReminders openDueReminders)
        : editDocument(std::move(editDocument))
        , generateDocuments(std::move(generateDocuments))
        , loadIn(std::move(loadIn))
        , previewGrid(std::move(previewGrid))
        , sendGridToExcel(std::move(sendGridToExcel))
        , openDueReminders(std::move(openDueReminders)) {}

    // True when none is empty.
    bool complete() const {
        return editDocument && generateDocuments && loadIn && previewGrid && sendGridToExcel && openDueReminders;
    }

    EditDocument editDocument;
    GenerateDocuments generateDocuments;
    LoadIn loadIn;
    PreviewGrid previewGrid;
    SendGridToExcel sendGridToExcel;
    OpenDueReminders openDueReminders;
};
