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
#include <QSqlRecord>

namespace {
const QString DefaultPickerFormat = QStringLiteral("yyyy-MM-dd");
const QString SaveFailed = QStringLiteral("保存数据发生错误！");

QString quotedList(const QStringList &names) {
    return QStringLiteral("“") + names.join(QStringLiteral("”、“")) + QStringLiteral("”");
}
} // namespace

ContractEntry::ContractEntry(Database &database, int contractId, const QString &typeCode, QObject *parent)
    : QObject(parent)
    , mStore(database)
    , mContractId(contractId)
    , mTypeCode(typeCode)
    , mGrid(this)
    , mFormulas(mGrid) {}

bool ContractEntry::readIndicators(QList<Indicator> &indicators) {
    bool read = false;
    indicators = Indicator::ofCategory(mTypeCode, &read);
    if (!read) {
        Messages::instance().warning(mStore.database().failureText(QStringLiteral("读取数据库发生错误！")));
        return false;
    }
    // A category the list still showed may have been deleted by another user since.
    if (indicators.isEmpty() && !mTypeCode.isEmpty() && mStore.categoryExists(mTypeCode) == false)
        Messages::instance().information(QStringLiteral("该合同分类已被其他用户删除。"));
    return !indicators.isEmpty();
}

bool ContractEntry::load() {
    QList<Indicator> indicators;
    if (!readIndicators(indicators))
        return false;
    QString error;
    const std::optional<std::optional<QSqlRecord>> stored = mStore.record(mTypeCode, mContractId, &error);
    if (!stored) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！") + QLatin1Char('\n') + error);
        return false;
    }
    mHasRecord = stored->has_value();
    if (!mHasRecord && mContractId >= 0) {
        Messages::instance().information(QStringLiteral("这份合同已被其他用户删除。"));
        return false;
    }
    const QSqlRecord record = mHasRecord ? **stored : QSqlRecord();
    mGrid.load(indicators, mHasRecord ? &record : nullptr);
    mLoaded = valuesOf(record);

    mOffers.clear();
    if (mContractId < 0)
        mOffers = ContractNumbering::numberNewRecord(mStore, mGrid, mTypeCode);
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
    mStore.distinctValues(mTypeCode, column, items);
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
    mFormulas.recalculate(mGrid.name(row), value.text, value.value);
    return true;
}

void ContractEntry::commitDate(int row, const QDateTime &value) {
    const QString text = DateTimeToText(value, mGrid.cell(row, ContractEntryGrid::ColFormat));
    mGrid.setValue(row, text);
    mFormulas.recalculate(mGrid.name(row), text);
}

void ContractEntry::commitText(int row, const QString &text) {
    mGrid.setValue(row, text);
}

int ContractEntry::firstMissingRequired() {
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

bool ContractEntry::valueColumnsValid() const {
    for (int r = 0; r < mGrid.rows(); ++r) {
        const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField);
        if (!mGrid.name(r).isEmpty() && !SqlText::isValueColumn(column)) {
            Messages::instance().warning(SaveFailed + QLatin1Char('\n') + mGrid.name(r) +
                                         QStringLiteral("：数据字段“") + column + QStringLiteral("”无效。"));
            return false;
        }
    }
    return true;
}

bool ContractEntry::save() {
    if (!valueColumnsValid())
        return false;
    SaveState state;
    // Everything is read again and written under one write lock: the category, its indicators, the record as it
    // is now and the numbers stored meanwhile. Nothing is shown to the user while the lock is held.
    if (!mStore.database().inWriteTransaction([&]() { return writeUnderLock(state); }, &state.error)) {
        reportFailure(state);
        return false;
    }
    takeSaved(state);
    return true;
}

ChangeHistory::Values ContractEntry::SaveState::valuesWritten(ChangeHistory::Values base) const {
    for (qsizetype i = 0; i < columns.size(); ++i)
        base.insert(columns.at(i).toLower(), values.at(i).toString());
    return base;
}

bool ContractEntry::writeUnderLock(SaveState &state) {
    // On the server this row lock lines up every save of the category, so two saves never take one number.
    const std::optional<bool> category = mStore.lockCategory(mTypeCode, &state.error);
    if (!category)
        return false;
    if (!*category) {
        state.outcome = SaveOutcome::CategoryGone;
        return false;
    }
    const std::optional<QSet<QPair<QString, QString>>> indicators = mStore.indicatorColumns(mTypeCode, &state.error);
    if (!indicators)
        return false;
    collectValues(*indicators, state);

    if (mHasRecord) {
        const std::optional<std::optional<QSqlRecord>> stored = mStore.lockRecord(mContractId, &state.error);
        if (!stored)
            return false;
        if (stored->has_value())
            return updateRecord(**stored, state);
        state.deletedMeanwhile = true;
    }
    return renumberTakenOffers(state) && insertRecord(state);
}

void ContractEntry::collectValues(const QSet<QPair<QString, QString>> &indicators, SaveState &state) const {
    // Two rows naming the same column: the lower one is written last and wins.
    for (int r = 0; r < mGrid.rows(); ++r) {
        if (mGrid.name(r).isEmpty())
            continue;
        const QString column = mGrid.cell(r, ContractEntryGrid::ColDataField);
        // Its column is cleared or belongs to another indicator now.
        if (!indicators.contains({mGrid.name(r), column})) {
            if (!state.goneIndicators.contains(mGrid.name(r)))
                state.goneIndicators.append(mGrid.name(r));
            continue;
        }
        const qsizetype at = state.columns.indexOf(column);
        if (at >= 0) {
            state.values[at] = mGrid.value(r);
        } else {
            state.columns.append(column);
            state.values.append(mGrid.value(r));
            state.written.append({mGrid.name(r), column});
        }
    }
}

bool ContractEntry::updateRecord(const QSqlRecord &stored, SaveState &state) {
    state.current = valuesOf(stored);
    for (const QString &column : std::as_const(state.columns)) {
        if (state.current.value(column.toLower()) != mLoaded.value(column.toLower())) {
            state.outcome = SaveOutcome::ChangedMeanwhile;
            return false;
        }
    }
    const QList<ChangeHistory::Change> changes =
        ChangeHistory::changesBetween(state.written, state.current, state.valuesWritten(state.current));
    // The history row goes with the update itself.
    return changes.isEmpty()
               ? mStore.update(mContractId, mTypeCode, state.columns, state.values, &state.error)
               : mStore.update(mContractId, mTypeCode, state.columns, state.values,
                               {mContractId, mTypeCode, ChangeHistory::Changed, changes, {}, {}}, &state.error);
}

bool ContractEntry::renumberTakenOffers(SaveState &state) {
    // A number still as offered is checked against what was stored since; the user's own typing is kept.
    for (const ContractNumbering::Offer &offer : std::as_const(mOffers)) {
        const QString column = mGrid.cell(offer.row, ContractEntryGrid::ColDataField);
        const qsizetype at = state.columns.indexOf(column);
        if (at < 0 || state.values.at(at).toString() != offer.number)
            continue;
        const std::optional<qint64> taken = mStore.countWithValue(mTypeCode, column, offer.number);
        if (!taken)
            return false;
        if (*taken == 0)
            continue;
        const std::optional<QString> next =
            ContractNumbering::nextNumber(mStore, mTypeCode, column, offer.prefix, offer.width, offer.suffix);
        if (!next && mStore.database().connectionLost())
            return false;
        // Without a next number the offered one would be stored a second time.
        if (!next || *next == offer.number) {
            state.outcome = SaveOutcome::NumberTaken;
            state.takenNumber = offer.number;
            return false;
        }
        state.values[at] = *next;
        state.newNumbers.insert(offer.row, *next);
        state.renumbered.append(*next);
    }
    return true;
}

bool ContractEntry::insertRecord(SaveState &state) {
    const std::optional<qint64> id =
        mStore.insert(mTypeCode, state.columns, state.values,
                      {0,
                       mTypeCode,
                       ChangeHistory::Created,
                       ChangeHistory::changesBetween(state.written, {}, state.valuesWritten({})),
                       {},
                       {}},
                      &state.error);
    if (!id)
        return false;
    state.newId = *id;
    return true;
}

void ContractEntry::reportFailure(const SaveState &state) {
    switch (state.outcome) {
    case SaveOutcome::CategoryGone:
        Messages::instance().warning(QStringLiteral("该合同分类已被其他用户删除，本合同不能保存。"));
        break;
    case SaveOutcome::ChangedMeanwhile:
        askToReload(state.current);
        break;
    case SaveOutcome::NumberTaken:
        Messages::instance().warning(
            QStringLiteral("合同编号“%1”已被其他用户使用，无法确定下一个合同编号，本合同没有保存。\n"
                           "请修改合同编号后再保存。")
                .arg(state.takenNumber));
        break;
    default:
        Messages::instance().warning(mStore.database().failureText(SaveFailed, state.error));
        break;
    }
}

void ContractEntry::takeSaved(const SaveState &state) {
    for (auto it = state.newNumbers.cbegin(); it != state.newNumbers.cend(); ++it)
        mGrid.setValue(it.key(), it.value());
    if (state.newId >= 0) {
        mContractId = int(state.newId);
        mHasRecord = true;
        mOffers.clear();
    }
    for (qsizetype i = 0; i < state.columns.size(); ++i)
        mLoaded.insert(state.columns.at(i).toLower(), state.values.at(i).toString());

    if (state.deletedMeanwhile)
        Messages::instance().information(
            QStringLiteral("这份合同已被其他用户删除，您填写的内容已作为一份新合同保存。"));
    if (!state.renumbered.isEmpty())
        Messages::instance().information(QStringLiteral("合同编号已被其他用户使用，本合同的编号改为：") +
                                         state.renumbered.join(QStringLiteral("、")));
    if (!state.goneIndicators.isEmpty())
        Messages::instance().information(QStringLiteral("指标") + quotedList(state.goneIndicators) +
                                         QStringLiteral("已被其他用户删除，它们的数值没有保存。"));
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

int ContractEntry::checkAndSave(bool *saved) {
    if (saved)
        *saved = false;
    const int missing = firstMissingRequired();
    if (missing >= 0)
        return missing;
    if (!save())
        return -1;
    mCancelled = false;
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
