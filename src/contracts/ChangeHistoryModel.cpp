#include "contracts/ChangeHistoryModel.h"

ChangeHistoryModel::ChangeHistoryModel(Database &database, QObject *parent)
    : QAbstractTableModel(parent)
    , mDb(database) {}

bool ChangeHistoryModel::load(const ChangeHistory::Filter &filter, QString *error) {
    std::optional<QList<ChangeHistory::Row>> rows = ChangeHistory::read(filter, error);
    if (!rows)
        return false;
    beginResetModel();
    mRows = std::move(*rows);
    endResetModel();
    return true;
}

QList<QPair<QString, QString>> ChangeHistoryModel::categories() const {
    return ChangeHistory::childCategories(mDb);
}

QString ChangeHistoryModel::text(int row, int column) const {
    if (row < 0 || row >= mRows.size())
        return {};
    const ChangeHistory::Row &r = mRows.at(row);
    switch (column) {
    case ColTime:
        return r.time;
    case ColCategory:
        return r.categoryName.isEmpty() ? r.category : r.categoryName;
    case ColRecord:
        return r.recordId > 0 ? QString::number(r.recordId) : QString();
    case ColAction:
        return r.action;
    case ColChanges:
        return ChangeHistory::describe(r.changes);
    case ColOsUser:
        return r.osUser;
    case ColDbUser:
        return r.dbUser;
    case ColDocument:
        return r.documentFile;
    case ColDigest:
        return r.documentSha256;
    case ColSource:
        return r.outside ? QStringLiteral("程序外") : QStringLiteral("本程序");
    default:
        return {};
    }
}

QVariant ChangeHistoryModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::ToolTipRole && index.column() == ColChanges)
        return text(index.row(), index.column());
    return {};
}

QVariant ChangeHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[ColumnCount] = {"时间",         "合同分类",   "合同ID",   "操作",        "修改内容",
                                                    "操作系统用户", "数据库用户", "合同文档", "文档SHA-256", "来源"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}
