#include "catalogue/IndicatorEditor.h"

#include "platform/Messages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "text/TextHelpers.h"

#include <algorithm>

IndicatorEditor::IndicatorEditor(Database &database, const QString &tableName, const QString &categoryCode,
                                 int indicatorId)
    : mDatabase(database)
    , mIndicators(database)
    , mCategories(database)
    , mTableName(tableName)
    , mCategoryCode(categoryCode)
    , mId(indicatorId) {}

bool IndicatorEditor::load() {
    // Table names cannot be bound; indicators live in one table only.
    bool read = false;
    const std::optional<Indicator> found = mTableName == IndicatorTable ? mIndicators.find(mId, &read) : std::nullopt;
    if (!read) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！"));
        return false;
    }
    mFound = found.has_value();
    if (!mFound) {
        mOrderNumber = mIndicators.highestSortIndex(mCategoryCode) + 1;
        mValues = Indicator();
        mValues.ID = -1;
        mValues.MainTypeCode = mCategoryCode;
        return true;
    }
    mValues = *found;
    mOrderNumber = mValues.SortIdx;
    mValueColumn = mValues.DataFieldA;
    return true;
}

bool IndicatorEditor::nameExists(const QString &name) const {
    if (!mIndicators.nameTaken(mCategoryCode, name, mFound ? mId : -1))
        return false;
    Messages::instance().information(QStringLiteral("名称为 [") + name + QStringLiteral("] 的指标已经存在！"));
    return true;
}

QString IndicatorEditor::freeValueColumn() const {
    const QStringList used = mIndicators.valueColumns(mCategoryCode);
    for (int n = 1; n <= Schema::ValueColumnCount; ++n) {
        QString column = QStringLiteral("Data") + QString::number(n);
        if (IndexOfText(used, column, false) < 0)
            return column;
    }
    return {};
}

bool IndicatorEditor::formulaAccepted() const {
    if (mValues.CalcStr.isEmpty())
        return true;
    QStringList names = mIndicators.namesExcept(mCategoryCode, mFound ? mId : -1);
    names << mValues.PropertyName;
    const QStringList unknown = unknownReferences(mValues.CalcStr, names);
    if (unknown.isEmpty())
        return true;
    QStringList quoted;
    // An empty reference "[]" is shown as written: empty quotes would read as a slip of the message.
    for (const QString &name : unknown)
        quoted << QStringLiteral("“") + (name.isEmpty() ? QStringLiteral("[]") : name) + QStringLiteral("”");
    return Messages::instance().question(
        QStringLiteral("公式中引用的指标%1不是本类别的指标，仍然保存吗？").arg(quoted.join(QStringLiteral("、"))));
}

bool IndicatorEditor::save(bool *nameRejected, bool *formulaRejected) {
    if (nameRejected)
        *nameRejected = false;
    if (formulaRejected)
        *formulaRejected = false;
    auto rejectName = [&]() {
        if (nameRejected)
            *nameRejected = true;
        return false;
    };
    if (mValues.PropertyName.isEmpty()) {
        Messages::instance().information(QStringLiteral("指标名称必须输入！"));
        return rejectName();
    }
    if (nameExists(mValues.PropertyName))
        return rejectName();
    if (!formulaAccepted()) {
        if (formulaRejected)
            *formulaRejected = true;
        return false;
    }
    if (mValueColumn.isEmpty()) {
        const QString column = freeValueColumn();
        // Without a value column the indicator could hold no value in any contract record.
        if (column.isEmpty()) {
            Messages::instance().information(
                QStringLiteral("本分类的%1个指标数据列已全部使用，不能再添加新的指标！").arg(Schema::ValueColumnCount));
            return false;
        }
        mValueColumn = column;
    }
    if (!store())
        return false;
    mCancelled = false;
    return true;
}

bool IndicatorEditor::store() {
    Indicator row = mValues;
    row.ID = mId;
    row.MainTypeCode = mCategoryCode;
    row.SortIdx = mOrderNumber;
    row.DataFieldA = mValueColumn;
    // Only a date reminds; the days ahead keep their range whatever the caller put in.
    row.DueRemind = row.PropertyType == Indicator::Date && row.DueRemind == 1 ? 1 : 0;
    row.DueDays = std::clamp(row.DueDays, 0, MaxDueDays);
    bool stored = false;
    if (!mFound) {
        const std::optional<qint64> id = mIndicators.insertNew(row);
        stored = id.has_value();
        if (stored) {
            mId = int(*id);
            mFound = true;
        }
    } else {
        // The row may have been deleted since the dialog opened.
        stored = mIndicators.update(row);
    }
    if (stored)
        return true;
    // The database refuses an indicator of a category that another user has deleted since the window opened.
    Messages::instance().warning(mCategories.isGone(mCategoryCode)
                                     ? QStringLiteral("该合同分类已被其他用户删除，指标不能保存。")
                                     : mDatabase.failureText(QStringLiteral("存储数据发生错误！")));
    return false;
}

QString IndicatorEditor::formatForType(int type, const QString &format) {
    if (type == Indicator::Number && !format.contains(QStringLiteral("99")))
        return QStringLiteral("99999999999.99");
    if (type == Indicator::Date && !format.contains(QStringLiteral("yy")))
        return QStringLiteral("yyyy年MM月dd日");
    return format;
}

QString IndicatorEditor::formulaText(FormulaItem item) {
    switch (item) {
    case FormulaItem::MoneyStob:
        return QStringLiteral("[MONEY_STOB]");
    case FormulaItem::MoneyStobW:
        return QStringLiteral("[MONEY_STOB_W]");
    case FormulaItem::DateStob:
        return QStringLiteral("[DATE_STOB]");
    case FormulaItem::GetBillId:
        break;
    }
    return QStringLiteral("[GETBILLID]{C[YYYY][MM][DD][IIII]}");
}

QStringList IndicatorEditor::unknownReferences(const QString &formula, const QStringList &names) {
    static const QStringList keywords = {QStringLiteral("MONEY_STOB"), QStringLiteral("MONEY_STOB_W"),
                                         QStringLiteral("DATE_STOB"), QStringLiteral("GETBILLID")};
    QStringList unknown;
    qsizetype at = 0;
    while (at < formula.size()) {
        const QChar c = formula.at(at);
        if (c == QLatin1Char('{')) {
            // A numbering template: its brackets are date tokens and the serial field.
            const qsizetype close = formula.indexOf(QLatin1Char('}'), at + 1);
            if (close < 0)
                break;
            at = close + 1;
        } else if (c == QLatin1Char('[')) {
            // A reference runs to the next "]", as the evaluation reads it.
            const qsizetype close = formula.indexOf(QLatin1Char(']'), at + 1);
            if (close < 0)
                break;
            const QString name = formula.mid(at + 1, close - at - 1);
            if (!keywords.contains(name) && !names.contains(name) && !unknown.contains(name))
                unknown << name;
            at = close + 1;
        } else {
            ++at;
        }
    }
    return unknown;
}

QString IndicatorEditor::numberingHint() {
    return QStringLiteral("{C[YYYY][MM][DD][IIII]}为合同编号的格式，\n"
                          "比如今天是2012年2月15日第二个合同，则合同号为 C201202150002 \n"
                          "在{}内，非[]内的信息，可自主填写");
}
