#pragma once

#include "store/CategoryStore.h"
#include "store/Indicator.h"
#include "store/IndicatorStore.h"

#include <QString>

class Database;

// What the indicator editor decides: loading an indicator or preparing a new one, the name check, the value-column
// allocation and the save. The dialog copies its controls into values() before saving.
class IndicatorEditor {
public:
    static inline const QString IndicatorTable = QStringLiteral("TDataPara");
    static constexpr int MaxDueDays = 365;

    enum class FormulaItem { MoneyStob, MoneyStobW, DateStob, GetBillId };

    IndicatorEditor(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId);

    // Loads the indicator, or prepares a new one when the ID has no row (-1, or deleted meanwhile).
    // Shows the message and returns false when the table cannot be read.
    bool load();

    // True (after its message) when another indicator of the category already has the name.
    bool nameExists(const QString &name) const;
    // Lowest value column ("Data1" .. "Data80") no indicator of the category uses; empty when all are used.
    QString freeValueColumn() const;

    // Validates and stores values(). On false the message was shown; nameRejected and formulaRejected tell
    // which field is the one to correct. A formula that refers to names the category has no indicator of is
    // stored only when the user says so: such a reference quietly counts as 0.
    bool save(bool *nameRejected = nullptr, bool *formulaRejected = nullptr);

    Indicator &values() { return mValues; }
    const Indicator &values() const { return mValues; }
    bool isNew() const { return !mFound; }
    int orderNumber() const { return mOrderNumber; }
    QString valueColumn() const { return mValueColumn; }
    bool cancelled() const { return mCancelled; }
    QString categoryCode() const { return mCategoryCode; }

    // The format after the user picks a type: numbers and dates get a suggestion unless the format already
    // looks like one of theirs; text keeps it.
    static QString formatForType(int type, const QString &format);
    // The text each formula menu item writes in front of the formula.
    static QString formulaText(FormulaItem item);
    // The explanation shown after the numbering template is inserted.
    static QString numberingHint();
    // The names the formula refers to ("[name]") that are not in `names`, each once, in order. The keywords of
    // the function forms and the bracketed parts of a numbering template ("{C[YYYY][IIII]}") are not references.
    static QStringList unknownReferences(const QString &formula, const QStringList &names);

private:
    // False (after asking) when the formula refers to names the category has no indicator of and the user does
    // not want it stored so.
    bool formulaAccepted() const;
    // Inserts or updates the row; false (after the message) when the database refused it.
    bool store();

    Database &mDatabase;
    IndicatorStore mIndicators;
    CategoryStore mCategories;
    QString mTableName;
    QString mCategoryCode;
    int mId = -1;
    bool mCancelled = true;
    bool mFound = false;
    int mOrderNumber = 0;
    QString mValueColumn;
    Indicator mValues;
};
