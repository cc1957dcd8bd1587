#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class ContractEntryGrid;
class ContractStore;

// Contract numbers from a numbering formula such as "[GETBILLID]{C[YYYY][MM][DD][IIII]}": prefix (date tokens
// replaced), a serial of as many digits as there are I letters, and a suffix. Serials count separately for every
// category, value column and prefix; the next serial follows the greatest stored one.
namespace ContractNumbering {

// The parts of a numbering formula; nullopt when the formula gives no number.
struct Template {
    QString prefixSource; // before the serial field, brackets and tokens still in it
    int width = 0;
    QString suffix;
};
std::optional<Template> parseTemplate(const QString &formula);

// The text without any "[" and "]".
QString removeBrackets(const QString &text);
// The first "YYYY", then the first "YY", "MM" and "DD" replaced by the moment's year, two-digit year, month and
// day; only upper-case tokens count.
QString replaceDateTokens(const QString &text, const QDateTime &at);

// The number that follows the stored values of one indicator (value column `column`) in the category, for the
// given prefix; nullopt when the stored values cannot be read or the greatest one has no serial after the prefix.
std::optional<QString> nextNumber(const ContractStore &store, const QString &category, const QString &column,
                                  const QString &prefix, int width, const QString &suffix);
// The same computed from the stored values themselves.
std::optional<QString> nextNumberAmong(const QStringList &stored, const QString &prefix, int width,
                                       const QString &suffix);

// The number a new record of the category is given now for the formula in the value column `column`; nullopt
// when the formula is no numbering formula or gives no number.
std::optional<QString> newRecordNumber(const ContractStore &store, const QString &formula, const QString &category,
                                       const QString &column);

// A number given to a row of a new record, with what it was made from: the save makes it again from the same
// prefix when another program has stored it meanwhile.
struct Offer {
    int row = -1;
    QString number;
    QString prefix;
    int width = 0;
    QString suffix;
};

// Writes the next number into the value cell of every numbering row of the grid, reading the time from Clock.
// Rows whose number cannot be made stay as they are; nothing is reported. Returns the numbers given.
QList<Offer> numberNewRecord(const ContractStore &store, ContractEntryGrid &grid, const QString &category);

} // namespace ContractNumbering
