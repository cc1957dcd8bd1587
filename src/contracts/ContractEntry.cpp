#include "contracts/ContractEntry.h"

#include "contracts/ContractNumbering.h"
#include "contracts/NumberMask.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/ContractStore.h"
#include "store/Database.h"
#include "store/Indicator.h"
#include "store/SqlText.h"
#include "text/DateText.h"
#include "text/NumberText.h"
#include "text/TextHelpers.h"

#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString DefaultPickerFormat = QStringLiteral("yyyy-MM-dd");
const QString SaveFailed = QStringLiteral("保存数据发生错误！");

QString quotedList(const QStringList &names) {
    return QStringLiteral("“") + names.join(QStringLiteral("”、“")) + QStringLiteral("”");
}
} // namespace

ContractEntry::ContractEntry(int contractId, const QString &typeCode, QObject *parent)
    : QObject(parent)
    , ContractID(contractId)
    , TypeCode(typeCode)
    , mGrid(this)
    , mFormulas(mGrid) {}

bool ContractEntry::ReadyData() {
    QString error;
    QSqlQuery dsTmp(Database::instance().connection());
    dsTmp.setForwardOnly(true);
    if (!execBound(dsTmp, QStringLiteral("SELECT * FROM TDataPara WHERE MainTypeCode=? ORDER BY SortIdx, ID"),
                   {TypeCode}, &error)) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！") + QLatin1Char('\n') + error);
        return false;
    }
    QList<Indicator> indicators;
    while (dsTmp.next())
        indicators.append(Indicator::fromRecord(dsTmp.record()));
    if (indicators.isEmpty()) {
        // A category the list still showed may have been deleted by another user since.
        if (!TypeCode.isEmpty() &&
            Database::instance().GetDataBySQL(QStringLiteral("SELECT count(*) FROM TContractClass WHERE TypeCode=?"),
                                              {TypeCode}) == QLatin1String("0"))
            Messages::instance().information(QStringLiteral("该合同分类已被其他用户删除。"));
        return false;
    }

    QSqlQuery dsTmp1(Database::instance().connection());
    dsTmp1.setForwardOnly(true);
    if (!execBound(dsTmp1, QStringLiteral("SELECT * FROM TContractMain WHERE MainTypeCode=? AND ID=?"),
                   {TypeCode, ContractID}, &error)) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！") + QLatin1Char('\n') + error);
        return false;
    }
    mHasRecord = dsTmp1.next();
    if (!mHasRecord && ContractID >= 0) {
        Messages::instance().information(QStringLiteral("这份合同已被其他用户删除。"));
        return false;
    }
    const QSqlRecord record = mHasRecord ? dsTmp1.record() : QSqlRecord();
    mGrid.load(indicators, mHasRecord ? &record : nullptr);
    mLoaded = valuesOf(record);

    mOffers.clear();
    if (ContractID < 0)
        mOffers = ContractNumbering::ReadyBillID(mGrid, TypeCode);
    return true;
}

QHash<QString, QString> ContractEntry::valuesOf(const QSqlRecord &record) {
    QHash<QString, QString> values;
    for (int i = 0; i < record.count(); ++i)
        values.insert(record.fieldName(i).toLower(), record.value(i).toString());
    return values;
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
    Database::instance().GetDataBySQLToItems(QStringLiteral("SELECT DISTINCT ") + column +
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
    for (int r = 0; r < mGrid.rows(); ++r) {
        const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField);
        if (!mGrid.name(r).isEmpty() && !SqlText::isValueColumn(column)) {
            Messages::instance().warning(SaveFailed + QLatin1Char('\n') + mGrid.name(r) +
                                         QStringLiteral("：数据字段“") + column + QStringLiteral("”无效。"));
            return false;
        }
    }

    Database &dm = Database::instance();
    ContractStore store(dm);
    SaveOutcome outcome = SaveOutcome::Failed;
    QStringList goneIndicators;
    QStringList renumbered;
    QHash<int, QString> newNumbers;
    QHash<QString, QString> current;
    bool deletedMeanwhile = false;
    QString takenNumber;
    QStringList columns;
    QVariantList values;
    QList<ChangeHistory::Indicator> written;
    qint64 newId = -1;

    // Everything is read again and written under one write lock: the category, its indicators, the record as it
    // is now and the numbers stored meanwhile. Nothing is shown to the user while the lock is held.
    QString error;
    const bool done = dm.inWriteTransaction(
        [&]() {
            QSqlQuery q(dm.connection());
            q.setForwardOnly(true);
            // On the server this row lock lines up every save of the category, so two saves never take one number.
            if (!execBound(q, QStringLiteral("SELECT TypeCode FROM TContractClass WHERE TypeCode=?") + dm.lockRows(),
                           {TypeCode}, &error))
                return false;
            if (!q.next()) {
                outcome = SaveOutcome::CategoryGone;
                return false;
            }
            QSet<QPair<QString, QString>> indicators;
            if (!execBound(q, QStringLiteral("SELECT PropertyName, DataFieldA FROM TDataPara WHERE MainTypeCode=?"),
                           {TypeCode}, &error))
                return false;
            while (q.next())
                indicators.insert({q.value(0).toString(), q.value(1).toString()});

            // Two rows naming the same column: the lower one is written last and wins.
            for (int r = 0; r < mGrid.rows(); ++r) {
                if (mGrid.name(r).isEmpty())
                    continue;
                const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField);
                // Its column is cleared or belongs to another indicator now.
                if (!indicators.contains({mGrid.name(r), column})) {
                    if (!goneIndicators.contains(mGrid.name(r)))
                        goneIndicators.append(mGrid.name(r));
                    continue;
                }
                const qsizetype at = columns.indexOf(column);
                if (at >= 0) {
                    values[at] = mGrid.value(r);
                } else {
                    columns.append(column);
                    values.append(mGrid.value(r));
                    written.append({mGrid.name(r), column});
                }
            }
            auto valuesWritten = [&](ChangeHistory::Values base) {
                for (qsizetype i = 0; i < columns.size(); ++i)
                    base.insert(columns.at(i).toLower(), values.at(i).toString());
                return base;
            };

            if (mHasRecord) {
                if (!execBound(q, QStringLiteral("SELECT * FROM TContractMain WHERE ID=?") + dm.lockRows(),
                               {ContractID}, &error))
                    return false;
                if (q.next()) {
                    current = valuesOf(q.record());
                    for (const QString &column : std::as_const(columns)) {
                        if (current.value(column.toLower()) != mLoaded.value(column.toLower())) {
                            outcome = SaveOutcome::ChangedMeanwhile;
                            return false;
                        }
                    }
                    const QList<ChangeHistory::Change> changes =
                        ChangeHistory::changesBetween(written, current, valuesWritten(current));
                    // The history row goes with the update itself.
                    return changes.isEmpty()
                               ? store.update(ContractID, TypeCode, columns, values, &error)
                               : store.update(ContractID, TypeCode, columns, values,
                                              {ContractID, TypeCode, ChangeHistory::Changed, changes, {}, {}}, &error);
                }
                deletedMeanwhile = true;
            }

            // A number still as offered is checked against what was stored since; the user's own typing is kept.
            for (const ContractNumbering::Offer &offer : std::as_const(mOffers)) {
                const QString column = mGrid.cell(offer.row, ContractEntryGrid::ColDataField);
                const qsizetype at = columns.indexOf(column);
                if (at < 0 || values.at(at).toString() != offer.number)
                    continue;
                const QString taken =
                    dm.GetDataBySQL(QStringLiteral("SELECT count(*) FROM TContractMain WHERE MainTypeCode=? AND ") +
                                        column + QStringLiteral("=?"),
                                    {TypeCode, offer.number});
                if (taken.isEmpty())
                    return false;
                if (taken == QLatin1String("0"))
                    continue;
                const std::optional<QString> next =
                    ContractNumbering::nextNumber(TypeCode, column, offer.prefix, offer.width, offer.suffix);
                if (!next && dm.connectionLost())
                    return false;
                // Without a next number the offered one would be stored a second time.
                if (!next || *next == offer.number) {
                    outcome = SaveOutcome::NumberTaken;
                    takenNumber = offer.number;
                    return false;
                }
                values[at] = *next;
                newNumbers.insert(offer.row, *next);
                renumbered.append(*next);
            }

            const std::optional<qint64> id =
                store.insert(TypeCode, columns, values,
                             {0,
                              TypeCode,
                              ChangeHistory::Created,
                              ChangeHistory::changesBetween(written, {}, valuesWritten({})),
                              {},
                              {}},
                             &error);
            if (!id)
                return false;
            newId = *id;
            return true;
        },
        &error);

    if (!done) {
        switch (outcome) {
        case SaveOutcome::CategoryGone:
            Messages::instance().warning(QStringLiteral("该合同分类已被其他用户删除，本合同不能保存。"));
            break;
        case SaveOutcome::ChangedMeanwhile:
            askToReload(current);
            break;
        case SaveOutcome::NumberTaken:
            Messages::instance().warning(
                QStringLiteral("合同编号“%1”已被其他用户使用，无法确定下一个合同编号，本合同没有保存。\n"
                               "请修改合同编号后再保存。")
                    .arg(takenNumber));
            break;
        default:
            Messages::instance().warning(dm.failureText(SaveFailed, error));
            break;
        }
        return false;
    }

    for (auto it = newNumbers.cbegin(); it != newNumbers.cend(); ++it)
        mGrid.setValue(it.key(), it.value());
    if (newId >= 0) {
        ContractID = int(newId);
        mHasRecord = true;
        mOffers.clear();
    }
    for (qsizetype i = 0; i < columns.size(); ++i)
        mLoaded.insert(columns.at(i).toLower(), values.at(i).toString());

    if (deletedMeanwhile)
        Messages::instance().information(
            QStringLiteral("这份合同已被其他用户删除，您填写的内容已作为一份新合同保存。"));
    if (!renumbered.isEmpty())
        Messages::instance().information(QStringLiteral("合同编号已被其他用户使用，本合同的编号改为：") +
                                         renumbered.join(QStringLiteral("、")));
    if (!goneIndicators.isEmpty())
        Messages::instance().information(QStringLiteral("指标") + quotedList(goneIndicators) +
                                         QStringLiteral("已被其他用户删除，它们的数值没有保存。"));
    return true;
}

void ContractEntry::askToReload(const QHash<QString, QString> &current) {
    // Either way the next save compares with what is stored now: after "No" the user has seen the conflict and
    // keeps his own values on purpose.
    mLoaded = current;
    if (!Messages::instance().question(
            QStringLiteral("这份合同已被其他用户修改。") + QLatin1Char('\n') +
            QStringLiteral("是否读取其他用户保存的内容？") + QLatin1Char('\n') +
            QStringLiteral("选择“是”将显示其他用户保存的内容，放弃您在本窗口的修改；选择“否”保留您的修改，"
                           "再次保存将覆盖其他用户的修改。")))
        return;
    for (int r = 0; r < mGrid.rows(); ++r) {
        const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField).toLower();
        if (!mGrid.name(r).isEmpty() && current.contains(column))
            mGrid.setValue(r, current.value(column));
    }
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
