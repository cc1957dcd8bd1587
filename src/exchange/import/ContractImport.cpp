#include "exchange/import/ContractImport.h"

#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/ContractStore.h"
#include "store/Database.h"
#include "store/Indicator.h"
#include "text/DateText.h"
#include "text/NumberText.h"
#include "text/TextHelpers.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Value columns are named in SQL text, so only the names the schema has get there.
bool isValueColumn(const QString &name) {
    static const QRegularExpression valueColumn(QStringLiteral("^Data([1-9]|[1-7][0-9]|80)$"));
    return valueColumn.match(name).hasMatch();
}

// How a mapped worksheet column is written: numbers and dates in the indicator's form, as the entry dialog
// writes a committed value; texts as they are.
struct ValueForm {
    int type = Indicator::Text;
    QString format;
};

// Notes longer than this are cut, so the completion message stays on the screen.
constexpr int MaxNotesShown = 10;

} // namespace

QString ContractImport::formattedValue(const QString &text, int type, const QString &format, Outcome *outcome) {
    *outcome = Outcome::Unchanged;
    if (text.isEmpty())
        return text;
    if (type == Indicator::Number) {
        const std::optional<DecimalText> read = DecimalText::parse(CleanNumberText(text.trimmed()));
        if (!read) {
            *outcome = Outcome::Unreadable;
            return text;
        }
        const WrittenNumber written = WriteNumber(*read, MaskToFloatFormat(format));
        // Compared as decimals: a rounding beyond a double's digits is still one.
        *outcome = written.value == *read ? Outcome::Written : Outcome::Rounded;
        return written.text;
    }
    if (type == Indicator::Date) {
        const TextResult<QDateTime> read = TextToDateTime(text.trimmed(), format);
        if (!read) {
            *outcome = Outcome::Unreadable;
            return text;
        }
        *outcome = Outcome::Written;
        return DateTimeToText(read.value, format);
    }
    return text;
}

ContractImport::ContractImport(Database &database, const QString &categoryCode, QObject *parent)
    : QObject(parent)
    , mDb(database)
    , mCategoryCode(categoryCode) {}

QString ContractImport::basicExcelFolder() const {
    return mDb.path(QStringLiteral("BasicExcel"));
}

bool ContractImport::chooseFile() {
    const QString path = Messages::instance().openFileName(fileDialogTitle(), basicExcelFolder(), fileDialogFilter());
    if (path.isEmpty())
        return false;
    return openFile(path);
}

bool ContractImport::openFile(const QString &path) {
    mReader.close();
    mSheet.reset();
    mSheetModel.clear();
    mSheetNames.clear();
    mChooserEnabled = false;
    if (!mReader.open(path)) {
        Q_EMIT workbookChanged();
        Messages::instance().warning(QStringLiteral("确认选择的数据文件是正确的数据文件！"));
        return false;
    }
    mSheetNames = mReader.sheetNames();
    Q_EMIT workbookChanged();

    auto sheet = mReader.readSheet(0);
    if (!sheet) {
        Messages::instance().warning(
            QStringLiteral("读取数据表 [拍品表] 发生错误，请确认选择的文件是根据我方提供的模板编辑的！") + u'\r' +
            mReader.errorString());
        return false;
    }
    mSheet = std::move(sheet);
    mSheetModel.setWorksheet(*mSheet);
    mChooserEnabled = true;
    Q_EMIT workbookChanged();
    buildColumnMenu();
    return true;
}

bool ContractImport::chooseSheet(const QString &sheetName) {
    if (!mReader.isOpen())
        return false;
    auto sheet = mReader.readSheet(sheetName);
    if (!sheet) {
        mSheet.reset();
        mSheetModel.clear();
        Messages::instance().warning(QStringLiteral("读取数据表发生错误！") + u'\r' + mReader.errorString());
        return false;
    }
    mSheet = std::move(sheet);
    mSheetModel.setWorksheet(*mSheet);
    buildColumnMenu();
    return true;
}

void ContractImport::buildColumnMenu() {
    bool ok = false;
    const QList<Indicator> indicators = Indicator::ofCategory(mCategoryCode, &ok);
    if (!ok) {
        Messages::instance().warning(QStringLiteral("读取数据库发生错误！"));
        return;
    }
    // A category without indicators keeps the grid and the menu as they were.
    if (indicators.isEmpty())
        return;
    mMapping.setIndicators(indicators);
    mCurrentRow = 0;
    mMenuItems = mSheet ? mSheet->columns : QStringList();
    Q_EMIT menuChanged();
    automaticMatch();
}

void ContractImport::automaticMatch() {
    const QStringList columns = mSheet ? mSheet->columns : QStringList();
    const auto &rows = mMapping.rows();
    for (int row = 0; row < rows.size(); ++row) {
        QString match;
        for (const QString &column : columns) {
            if (column.compare(rows.at(row).propertyName, Qt::CaseInsensitive) == 0) {
                match = column;
                break;
            }
        }
        mMapping.setExcelColumn(row, match);
    }
}

bool ContractImport::prepareColumnMenu() {
    if (mMenuItems.isEmpty()) {
        Messages::instance().information(QStringLiteral("请首先选择源Excel数据文件，然后再指定列对应关系。"));
        return false;
    }
    return true;
}

void ContractImport::mapCurrentRowTo(const QString &column) {
    mMapping.setExcelColumn(mCurrentRow, column);
}

bool ContractImport::importRows() {
    if (!mSheet) {
        Messages::instance().information(QStringLiteral("请选择要导入的拍品数据表！"));
        return false;
    }
    QString message;
    QStringList unreadable;
    QStringList rounded;
    if (!storeRows(&message, &unreadable, &rounded)) {
        Messages::instance().warning(message);
        return false;
    }
    QString done = QStringLiteral("数据导入完成！");
    const auto list = [](const QStringList &notes) {
        QString text = notes.mid(0, MaxNotesShown).join(QStringLiteral("、"));
        if (notes.size() > MaxNotesShown)
            text += QStringLiteral("等共%1处").arg(notes.size());
        return text;
    };
    if (!unreadable.isEmpty())
        done += u'\r' + QStringLiteral("以下数值或日期无法识别，已按原样导入：") + list(unreadable);
    if (!rounded.isEmpty())
        done += u'\r' + QStringLiteral("以下数值已按指标的格式舍入：") + list(rounded);
    Messages::instance().information(done);
    return true;
}

namespace {

// The mapped columns of an import: where each value comes from in the worksheet and where it goes in the record.
struct ImportColumns {
    QStringList targets{QStringLiteral("MainTypeCode")}; // the record's columns, the category's code first
    QList<qsizetype> sources;                            // the worksheet column of each value column
    QList<ValueForm> forms;
    QStringList names; // the indicators' names
};

// The mapping rows that name a worksheet column; nullopt (with the reason) when one names no value column.
std::optional<ImportColumns> mappedColumns(const ImportMappingModel &mapping, const Worksheet &sheet, QString *error) {
    ImportColumns columns;
    for (const ImportMappingModel::Row &row : mapping.rows()) {
        if (row.excelColumn.isEmpty())
            continue;
        if (!isValueColumn(row.dataField)) {
            *error = QStringLiteral("指标“%1”的字段名称“%2”不是有效的数据列，没有导入任何数据。")
                         .arg(row.propertyName, row.dataField);
            return std::nullopt;
        }
        columns.targets.append(row.dataField);
        columns.sources.append(sheet.columnIndex(row.excelColumn));
        columns.forms.append({row.propertyType, row.format});
        columns.names.append(row.propertyName);
    }
    return columns;
}

// The worksheet's rows as the values of new records, noting the values that were rounded or did not read.
class ImportRows {
public:
    ImportRows(const Worksheet &sheet, const QString &categoryCode, const ImportColumns &columns,
               QStringList *unreadable, QStringList *rounded)
        : mSheet(sheet)
        , mCategoryCode(categoryCode)
        , mColumns(columns)
        , mUnreadable(unreadable)
        , mRounded(rounded) {}

    qsizetype count() const { return mSheet.rows.size(); }

    // The values of row r in the order of the statement's placeholders.
    void values(qsizetype r, QStringList &values) {
        const QStringList &cells = mSheet.rows.at(r);
        values.append(mCategoryCode);
        for (qsizetype i = 0; i < mColumns.sources.size(); ++i) {
            const qsizetype source = mColumns.sources.at(i);
            const QString text = source >= 0 && source < cells.size() ? cells.at(source) : QString();
            ContractImport::Outcome outcome = ContractImport::Outcome::Unchanged;
            const ValueForm &form = mColumns.forms.at(i);
            values.append(ContractImport::formattedValue(text, form.type, form.format, &outcome));
            if (outcome == ContractImport::Outcome::Unreadable)
                mUnreadable->append(QStringLiteral("第%1行（%2）").arg(sheetRow(r)).arg(mColumns.names.at(i)));
            else if (outcome == ContractImport::Outcome::Rounded)
                mRounded->append(QStringLiteral("第%1行（%2）").arg(sheetRow(r)).arg(mColumns.names.at(i)));
        }
    }

    // Why the import was undone at row r.
    QString failedAt(qsizetype r, const QString &why) const {
        return QStringLiteral("工作表第%1行不能保存，本次导入的数据已全部撤销。").arg(sheetRow(r)) + u'\r' + why;
    }

    // One history row per imported record: the values it was given.
    ChangeHistory::Entry historyEntry(qint64 id, const QStringList &values) const {
        ChangeHistory::Entry entry{id, mCategoryCode, ChangeHistory::Imported, {}, {}, {}};
        for (qsizetype i = 0; i < mColumns.names.size() && i + 1 < values.size(); ++i) {
            if (!values.at(i + 1).isEmpty())
                entry.changes.append({mColumns.names.at(i), QString(), values.at(i + 1)});
        }
        return entry;
    }

private:
    int sheetRow(qsizetype r) const { return r < mSheet.rowNumbers.size() ? mSheet.rowNumbers.at(r) : int(r + 2); }

    const Worksheet &mSheet;
    const QString &mCategoryCode;
    const ImportColumns &mColumns;
    QStringList *mUnreadable;
    QStringList *mRounded;
};

// Straight to the embedded file: most of an import's time went into the driver's handling of each value. Runs
// inside a write transaction, which holds the file from its start, so the records made here are exactly those
// above the highest ID before, in the order of the rows.
bool storeEmbedded(ContractStore &store, const QString &sql, ImportRows &rows, QString *rowError) {
    Database &dm = store.database();
    const std::optional<qint64> highest = store.highestId();
    if (!highest) {
        *rowError = QStringLiteral("cannot read the records");
        return false;
    }
    QList<QStringList> imported;
    qsizetype r = -1;
    QString why;
    const bool ok = dm.execManyEmbedded(
        sql,
        [&](QStringList &values) {
            if (++r >= rows.count())
                return false;
            rows.values(r, values);
            imported.append(values);
            return true;
        },
        &why);
    if (!ok) {
        *rowError = r < 0 ? why : rows.failedAt(r, why);
        return false;
    }
    const QStringList ids = store.idsAbove(*highest);
    if (ids.size() != imported.size()) {
        *rowError = QStringLiteral("the imported records cannot be read back");
        return false;
    }
    const QSqlDatabase db = dm.connection();
    qsizetype h = -1;
    const bool recorded = dm.execManyEmbedded(
        ChangeHistory::insertStatement(),
        [&](QStringList &values) {
            if (++h >= ids.size())
                return false;
            values = ChangeHistory::insertValues(rows.historyEntry(ids.at(h).toLongLong(), imported.at(h)), db);
            return true;
        },
        &why);
    if (!recorded)
        *rowError = why;
    return recorded;
}

// On the server, row by row through the driver inside the caller's transaction; the statement returns each ID.
bool storeOnServer(Database &dm, const QString &sql, const QStringList &placeholders, ImportRows &rows,
                   QString *rowError) {
    QSqlQuery query(dm.connection());
    if (!query.prepare(sql)) {
        *rowError = query.lastError().text();
        return false;
    }
    QStringList values;
    for (qsizetype r = 0; r < rows.count(); ++r) {
        values.clear();
        rows.values(r, values);
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(placeholders.at(i), values.at(i));
        const bool inserted = query.exec();
        if (!inserted || !query.next()) {
            *rowError = rows.failedAt(r, inserted ? QStringLiteral("no generated ID") : query.lastError().text());
            return false;
        }
        if (!ChangeHistory::record(rows.historyEntry(query.value(0).toLongLong(), values), rowError))
            return false;
    }
    return true;
}

} // namespace

bool ContractImport::storeRows(QString *message, QStringList *unreadable, QStringList *rounded) {
    const QString failed = QStringLiteral("存储数据发生错误！");
    QString columnError;
    const std::optional<ImportColumns> columns = mappedColumns(mMapping, *mSheet, &columnError);
    if (!columns) {
        *message = failed + u'\r' + columnError;
        return false;
    }
    // Named placeholders: binding by position makes Qt format a placeholder name for every value.
    QStringList placeholders;
    for (qsizetype i = 0; i < columns->targets.size(); ++i)
        placeholders.append(QStringLiteral(":v%1").arg(i));
    ContractStore store(mDb);
    const bool embedded = mDb.backend() == Database::Backend::Embedded;
    const QString sql = store.importStatement(columns->targets, placeholders);

    ImportRows rows(*mSheet, mCategoryCode, *columns, unreadable, rounded);
    QString rowError;
    QString commitError;
    const bool stored =
        embedded
            ? mDb.inWriteTransaction([&] { return storeEmbedded(store, sql, rows, &rowError); }, &commitError)
            : mDb.inTransaction([&] { return storeOnServer(mDb, sql, placeholders, rows, &rowError); }, &commitError);
    if (stored)
        return true;
    if (rowError.isEmpty())
        rowError = QStringLiteral("本次导入的数据已全部撤销。") + u'\r' + commitError;
    *message = failed + u'\r' + rowError;
    return false;
}
