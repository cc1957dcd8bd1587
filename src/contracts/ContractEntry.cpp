#include "contracts/ContractEntry.h"

#include "catalogue/Indicator.h"
#include "contracts/ContractNumbering.h"
#include "contracts/NumberMask.h"
#include "platform/Messages.h"
#include "store/SqlText.h"
#include "store/TDM.h"
#include "text/DateText.h"
#include "text/NumberText.h"
#include "text/TextHelpers.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString DefaultPickerFormat = QStringLiteral("yyyy-MM-dd");
}

ContractEntry::ContractEntry(int contractId, const QString &typeCode, QObject *parent)
    : QObject(parent)
    , ContractID(contractId)
    , TypeCode(typeCode)
    , mGrid(this)
    , mFormulas(mGrid) {}

bool ContractEntry::ReadyData() {
    QString error;
    QSqlQuery dsTmp(TDM::instance().ADOLocal());
    dsTmp.setForwardOnly(true);
    if (!execBound(dsTmp, QStringLiteral("SELECT * FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"),
                   {TypeCode}, &error)) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！") + QLatin1Char('\n') + error);
        return false;
    }
    QList<Indicator> indicators;
    while (dsTmp.next())
        indicators.append(Indicator::fromRecord(dsTmp.record()));
    if (indicators.isEmpty())
        return false;

    QSqlQuery dsTmp1(TDM::instance().ADOLocal());
    dsTmp1.setForwardOnly(true);
    if (!execBound(dsTmp1, QStringLiteral("SELECT * FROM TContractMain WHERE MainTypeCode=? AND ID=?"),
                   {TypeCode, ContractID}, &error)) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！") + QLatin1Char('\n') + error);
        return false;
    }
    mHasRecord = dsTmp1.next();
    const QSqlRecord record = mHasRecord ? dsTmp1.record() : QSqlRecord();
    mGrid.load(indicators, mHasRecord ? &record : nullptr);

    if (ContractID < 0)
        ContractNumbering::ReadyBillID(mGrid, TypeCode);
    return true;
}

ContractEntry::Editor ContractEntry::editorFor(int row) const {
    const QString type = mGrid.cell(row, ContractEntryGrid::ColType);
    if (type == Indicator::entryTypeText(Indicator::Number))
        return Editor::Number;
    if (type == Indicator::entryTypeText(Indicator::Date))
        return Editor::Date;
    if (type == Indicator::entryTypeText(Indicator::Text)) {
        if (!mGrid.cell(row, ContractEntryGrid::ColDefaultSelect).isEmpty() || offersHistory(row))
            return Editor::Combo;
        return Editor::Text;
    }
    return Editor::None;
}

QString ContractEntry::inputMaskFor(int row) const {
    if (editorFor(row) != Editor::Number)
        return {};
    QString mask = mGrid.cell(row, ContractEntryGrid::ColFormat);
    if (mask.isEmpty())
        mask = NumberMask::DefaultMask;
    if (!NumberMask::fits(mask, mGrid.value(row)))
        return {};
    return NumberMask::toQtInputMask(mask);
}

QString ContractEntry::pickerFormatFor(int row) const {
    const QString format = mGrid.cell(row, ContractEntryGrid::ColFormat);
    return ToQtDateTimeFormat(format.isEmpty() ? DefaultPickerFormat : format);
}

std::optional<QDateTime> ContractEntry::storedDate(int row) const {
    const QString value = mGrid.value(row);
    if (value.isEmpty())
        return std::nullopt;
    const TextResult<QDateTime> read = TextToDateTime(value, mGrid.cell(row, ContractEntryGrid::ColFormat));
    if (!read)
        return std::nullopt;
    return read.value;
}

bool ContractEntry::dateUnreadable(int row) const {
    return editorFor(row) == Editor::Date && !mGrid.value(row).isEmpty() && !storedDate(row);
}

QString ContractEntry::unreadableDateMessage(int row) const {
    return QStringLiteral("指标“") + mGrid.name(row) + QStringLiteral("”原有的内容“") + mGrid.value(row) +
           QStringLiteral("”不是有效的日期。") + QLatin1Char('\n') +
           QStringLiteral("原内容保持不变；如需改为日期，请在日期框中选择新的日期。");
}

bool ContractEntry::offersHistory(int row) const {
    return mGrid.cell(row, ContractEntryGrid::ColDefaultSelect).isEmpty() &&
           mGrid.cell(row, ContractEntryGrid::ColHisSelect) == QLatin1String("1");
}

void ContractEntry::fillHistory(int row, QStringList &items) const {
    const QString column = mGrid.cell(row, ContractEntryGrid::ColDataField);
    if (!SqlText::isValueColumn(column))
        return;
    TDM::instance().GetDataBySQLToItems(QStringLiteral("SELECT DISTINCT ") + column +
                                            QStringLiteral(" FROM TContractMain WHERE MainTypeCode=? ORDER BY ") +
                                            column,
                                        {TypeCode}, items, true);
}

bool ContractEntry::commitNumber(int row, const QString &typed) {
    const QString cleaned = CleanNumberText(typed);
    // The one reading of the typed number: the formulas get the value as shown, not its text to read again.
    const std::optional<DecimalText> number = DecimalText::parse(cleaned);
    if (!number) {
        Messages::instance().warning(NotANumberMessage(cleaned));
        return false;
    }
    const WrittenNumber value = WriteNumber(*number, MaskToFloatFormat(mGrid.cell(row, ContractEntryGrid::ColFormat)));
    mGrid.setValue(row, value.text);
    mFormulas.CheckAutoCalc(mGrid.name(row), value.text, value.value);
    return true;
}

void ContractEntry::commitDate(int row, const QDateTime &value) {
    const QString text = DateTimeToText(value, mGrid.cell(row, ContractEntryGrid::ColFormat));
    mGrid.setValue(row, text);
    mFormulas.CheckAutoCalc(mGrid.name(row), text);
}

void ContractEntry::commitText(int row, const QString &text) {
    mGrid.setValue(row, text);
}

int ContractEntry::CheckNoNull() {
    for (int r = 0; r < mGrid.rows(); ++r) {
        if (!mGrid.name(r).isEmpty() && mGrid.cell(r, ContractEntryGrid::ColNoNull) == QLatin1String("1") &&
            mGrid.value(r).isEmpty()) {
            Messages::instance().information(QStringLiteral("扩展参数：") + mGrid.name(r) +
                                             QStringLiteral("必须填写字段！"));
            return r;
        }
    }
    return -1;
}

bool ContractEntry::SaveData() {
    // Two rows naming the same column: the lower one is written last and wins.
    QStringList columns;
    QVariantList values;
    for (int r = 0; r < mGrid.rows(); ++r) {
        if (mGrid.name(r).isEmpty())
            continue;
        const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField);
        if (!SqlText::isValueColumn(column)) {
            Messages::instance().warning(QStringLiteral("保存数据发生错误！") + QLatin1Char('\n') + mGrid.name(r) +
                                         QStringLiteral("：数据字段“") + column + QStringLiteral("”无效。"));
            return false;
        }
        const qsizetype at = columns.indexOf(column);
        if (at >= 0) {
            values[at] = mGrid.value(r);
        } else {
            columns.append(column);
            values.append(mGrid.value(r));
        }
    }

    QString error;
    QSqlQuery dsTmp1(TDM::instance().ADOLocal());
    bool written = false;
    if (mHasRecord) {
        QString sql = QStringLiteral("UPDATE TContractMain SET MainTypeCode=?");
        for (const QString &column : columns)
            sql += QLatin1Char(',') + column + QStringLiteral("=?");
        sql += QStringLiteral(" WHERE ID=?");
        QVariantList binds{TypeCode};
        binds += values;
        binds.append(ContractID);
        if (!execBound(dsTmp1, sql, binds, &error)) {
            Messages::instance().warning(TDM::instance().failureText(QStringLiteral("保存数据发生错误！"), error));
            return false;
        }
        // A record deleted since it was loaded is saved as a new record of the category.
        written = dsTmp1.numRowsAffected() > 0;
    }
    if (!written) {
        QString sql = QStringLiteral("INSERT INTO TContractMain (MainTypeCode");
        QString marks = QStringLiteral("?");
        for (const QString &column : columns) {
            sql += QLatin1Char(',') + column;
            marks += QStringLiteral(",?");
        }
        sql += QStringLiteral(") VALUES (") + marks + QLatin1Char(')');
        QVariantList binds{TypeCode};
        binds += values;
        const std::optional<qint64> id = TDM::instance().insertReturningId(sql, binds, &error);
        if (!id) {
            Messages::instance().warning(TDM::instance().failureText(QStringLiteral("保存数据发生错误！"), error));
            return false;
        }
        ContractID = int(*id);
        mHasRecord = true;
    }
    return true;
}

int ContractEntry::cmdSaveClick(bool *saved) {
    if (saved)
        *saved = false;
    const int missing = CheckNoNull();
    if (missing >= 0)
        return missing;
    if (!SaveData())
        return -1;
    Cancelled = false;
    if (saved)
        *saved = true;
    return -1;
}

QStringList ContractEntry::splitDefaultSelect(const QString &list) {
    QStringList items = list.split(QLatin1Char(';'));
    // The piece after the last ";" counts only when it holds something.
    if (!items.isEmpty() && items.last().isEmpty())
        items.removeLast();
    return items;
}
