#include "contracts/ContractNumbering.h"

#include "contracts/ContractEntryGrid.h"
#include "contracts/ContractFormulas.h"
#include "platform/Clock.h"
#include "store/ContractStore.h"
#include "store/SqlText.h"
#include "text/TextHelpers.h"

namespace {

const QString KeyBillId = QStringLiteral("[GETBILLID]");

bool allDigits(QStringView text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// The serial of one stored value after its prefix: the digits before the suffix, however many there are (a
// serial may have outgrown its width, or be shorter than it when typed or imported as "HT-12"); failing that,
// the first `width` characters when they are digits, or all of them when fewer are left.
std::optional<qlonglong> serialOf(QStringView rest, int width, const QString &suffix) {
    if (rest.endsWith(suffix)) {
        const QStringView core = rest.chopped(suffix.size());
        if (core.size() <= 18 && allDigits(core))
            return core.toLongLong();
    }
    const QStringView head = rest.left(width);
    if (allDigits(head))
        return head.toLongLong();
    return std::nullopt;
}

} // namespace

namespace ContractNumbering {

std::optional<Template> parseTemplate(const QString &formula) {
    QString t = ContractFormulas::trimFormula(formula);
    const qsizetype key = t.indexOf(KeyBillId);
    if (t.isEmpty() || key < 0)
        return std::nullopt;
    t.remove(key, KeyBillId.size());
    const qsizetype serial = t.indexOf(QLatin1String("[I"));
    if (serial < 0)
        return std::nullopt;
    Template out;
    // The first character is the "{"; the "[" of the serial field goes with the prefix and loses its bracket.
    out.prefixSource = t.mid(1, serial);
    t.remove(0, serial + 1);
    const qsizetype end = t.indexOf(QLatin1String("I]"));
    if (end < 0)
        return std::nullopt;
    out.width = int(end + 1);
    t.remove(0, end + 2);
    t.chop(1);
    out.suffix = t;
    return out;
}

QString removeBrackets(const QString &text) {
    QString out = text;
    out.remove(QLatin1Char('['));
    out.remove(QLatin1Char(']'));
    return out;
}

QString replaceDateTokens(const QString &text, const QDateTime &at) {
    QString out = text;
    const QDate d = at.date();
    auto replaceFirst = [&out](const QString &token, const QString &by) {
        const qsizetype p = out.indexOf(token);
        if (p >= 0)
            out.replace(p, token.size(), by);
    };
    replaceFirst(QStringLiteral("YYYY"), PadLeftZeros(QString::number(d.year()), 4));
    replaceFirst(QStringLiteral("YY"), PadLeftZeros(QString::number(d.year() % 100), 2));
    replaceFirst(QStringLiteral("MM"), PadLeftZeros(QString::number(d.month()), 2));
    replaceFirst(QStringLiteral("DD"), PadLeftZeros(QString::number(d.day()), 2));
    return out;
}

std::optional<QString> nextNumberAmong(const QStringList &stored, const QString &prefix, int width,
                                       const QString &suffix) {
    QString greatest;
    std::optional<qlonglong> highest;
    for (const QString &value : stored) {
        if (!value.startsWith(prefix))
            continue;
        if (value > greatest)
            greatest = value;
        const std::optional<qlonglong> n = serialOf(QStringView(value).mid(prefix.size()), width, suffix);
        if (n && (!highest || *n > *highest))
            highest = n;
    }
    if (greatest.isEmpty())
        return prefix + PadLeftZeros(QStringLiteral("1"), width) + suffix;
    // A value typed by hand that has no serial after the prefix stops the numbering while it is the greatest.
    if (!serialOf(QStringView(greatest).mid(prefix.size()), width, suffix))
        return std::nullopt;
    // Counting goes by number, not by text: past 9999 comes 10000, and after that 10001.
    return prefix + PadLeftZeros(QString::number(*highest + 1), width) + suffix;
}

std::optional<QString> nextNumber(const ContractStore &store, const QString &category, const QString &column,
                                  const QString &prefix, int width, const QString &suffix) {
    if (!SqlText::isValueColumn(column))
        return std::nullopt;
    const std::optional<QStringList> stored = store.valuesStartingWith(category, column, prefix);
    if (!stored)
        return std::nullopt;
    return nextNumberAmong(*stored, prefix, width, suffix);
}

namespace {
std::optional<Offer> offerFor(const ContractStore &store, const QString &formula, const QString &category,
                              const QString &column) {
    const std::optional<Template> t = parseTemplate(formula);
    if (!t)
        return std::nullopt;
    Offer offer;
    offer.prefix = replaceDateTokens(removeBrackets(t->prefixSource), Clock::instance().now());
    offer.width = t->width;
    offer.suffix = t->suffix;
    const std::optional<QString> number = nextNumber(store, category, column, offer.prefix, offer.width, offer.suffix);
    if (!number)
        return std::nullopt;
    offer.number = *number;
    return offer;
}
} // namespace

std::optional<QString> newRecordNumber(const ContractStore &store, const QString &formula, const QString &category,
                                       const QString &column) {
    const std::optional<Offer> offer = offerFor(store, formula, category, column);
    return offer ? std::optional<QString>(offer->number) : std::nullopt;
}

QList<Offer> numberNewRecord(const ContractStore &store, ContractEntryGrid &grid, const QString &category) {
    QList<Offer> offers;
    for (int r = 0; r < grid.rows(); ++r) {
        std::optional<Offer> offer = offerFor(store, grid.cell(r, ContractEntryGrid::ColCalcStr), category,
                                              grid.cell(r, ContractEntryGrid::ColDataField));
        if (!offer)
            continue;
        grid.setValue(r, offer->number);
        offer->row = r;
        offers.append(*offer);
    }
    return offers;
}

} // namespace ContractNumbering
