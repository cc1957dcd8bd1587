#pragma once

#include <QList>
#include <QString>

#include <functional>

class QTableView;
class QWidget;

// What the contract register calls in other subsystems: the contract document window, the spreadsheet import,
// the print preview and the export of its list. The application fills what its build holds; a missing one makes
// its button say that the function is not available.
namespace ContractMagHooks {

// EditAHTDoc: category code, document path, record ID; the result is not used.
inline std::function<bool(const QString &category, const QString &documentPath, int recordId)> editDocument;
// "批量生成合同文档": the records' IDs in list order, the register window.
inline std::function<void(const QList<int> &recordIds, QWidget *parent)> generateDocuments;
// PPLoadIn: the category the records are imported into.
inline std::function<bool(const QString &category)> loadIn;
// PreviewGrid: the window caption as title, the grid (its model is the record list).
inline std::function<bool(const QString &title, QTableView *grid)> previewGrid;
// SendGridToExcel: an empty title and the grid.
inline std::function<void(const QString &title, QTableView *grid)> sendGridToExcel;

} // namespace ContractMagHooks
