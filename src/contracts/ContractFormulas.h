#pragma once

#include "text/DecimalText.h"

#include <QString>
#include <QStringList>

#include <optional>

class ContractEntryGrid;

// The formulas of a category, evaluated on the entry grid while the user types: after a number or date value was
// committed, every row whose formula refers to that indicator is computed again, depth first, so that a result
// at once drives the formulas that refer to it.
//
// Forms (the formula is trimmed first; a keyword counts only at the very start):
//   [MONEY_STOB][x]    the changed amount in capital digits
//   [MONEY_STOB_W][x]  the changed amount in units of 10 000 yuan in capital digits
//   [DATE_STOB][x]     the changed date in Chinese numerals
//   anything else      arithmetic: every [name] replaced by that row's value, computed as a number; an
//                      expression that cannot be computed is reported (once per change) and leaves the row as it is
class ContractFormulas {
public:
    explicit ContractFormulas(ContractEntryGrid &grid);

    // Recomputes what depends on the indicator `name`, whose new value is `value`. Returns false when this level
    // reported an error (a value that cannot be converted, or a formula that refers back to itself).
    // A number in the text (a stored value) is read here, once, for every formula that uses it.
    bool recalculate(const QString &name, const QString &value);
    // The same for a number already read: `shown` as the grid shows it, `number` the value it stands for.
    bool recalculate(const QString &name, const QString &shown, const DecimalText &number);

    // The expression with every [name] replaced by valueOf(name).
    QString substituteValues(const QString &expression) const;
    // The value text of the named row (the lowest one of that name), "0" when it is empty or there is none.
    QString valueOf(const QString &name) const;
    // Display format of an arithmetic result: "0." and one "0" for every character after the first "." of the
    // row's format; "0" without a point.
    static QString floatFormat(const QString &formatStr);

    // The two-line message of a formula that could not be computed.
    static QString errorMessage(const QString &reason);
    // Trimmed of blanks and control characters at both ends.
    static QString trimFormula(const QString &formula);

private:
    // A value handed down the formulas: as shown, and the number it stands for when it is one.
    struct Value {
        QString text;
        std::optional<DecimalText> number;
    };
    bool start(const QString &name, const Value &value);
    bool checkLevel(const QString &name, const Value &value, QStringList &chain);

    ContractEntryGrid &mGrid;
    bool mCycleReported = false;
    bool mArithmeticReported = false;
};
