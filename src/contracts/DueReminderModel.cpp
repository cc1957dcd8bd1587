#include "contracts/DueReminderModel.h"

#include <QBrush>
#include <QColor>

DueReminderModel::DueReminderModel(Kind kind, QObject *parent)
    : QAbstractTableModel(parent)
    , mKind(kind) {}

void DueReminderModel::setReminders(const QList<DueReminder> &reminders) {
    beginResetModel();
    mRows = reminders;
    endResetModel();
}

int DueReminderModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mRows.size());
}

int DueReminderModel::columnCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    // The dates that cannot be read have no days left and no state.
    return mKind == Kind::Due ? State + 1 : SecondText;
}

QVariant DueReminderModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= mRows.size())
        return {};
    const DueReminder &r = mRows.at(index.row());
    int column = index.column();
    // Without the days left the columns after the date move one to the left.
    if (mKind == Kind::Unreadable && column >= DaysLeft)
        ++column;
    if (role == Qt::DisplayRole) {
        switch (column) {
        case Category:
            return r.categoryName;
        case Number:
            return r.contractNumber;
        case IndicatorName:
            return r.indicatorName;
        case Date:
            return r.dateText;
        case DaysLeft:
            return QString::number(r.daysLeft);
        case FirstText:
            return r.firstText;
        case SecondText:
            return r.secondText;
        case State:
            return r.done ? QStringLiteral("已处理") : QString();
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole) {
        if (r.done)
            return QBrush(QColor(Qt::gray));
        if ((mKind == Kind::Unreadable && column == Date) || (column == DaysLeft && r.daysLeft < 0))
            return QBrush(QColor(Qt::red));
    }
    if (role == Qt::TextAlignmentRole && column == DaysLeft)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant DueReminderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (mKind == Kind::Unreadable && section >= DaysLeft)
        ++section;
    switch (section) {
    case Category:
        return QStringLiteral("分类");
    case Number:
        return QStringLiteral("合同编号");
    case IndicatorName:
        return QStringLiteral("指标");
    case Date:
        return mKind == Kind::Due ? QStringLiteral("日期") : QStringLiteral("填写的内容");
    case DaysLeft:
        return QStringLiteral("剩余天数");
    case FirstText:
        return QStringLiteral("合同信息一");
    case SecondText:
        return QStringLiteral("合同信息二");
    case State:
        return QStringLiteral("状态");
    default:
        return {};
    }
}
