#include "contracts/DueReminders.h"

#include "contracts/ContractNumbering.h"
#include "store/Indicator.h"
#include "text/DateText.h"

#include <QHash>
#include <QSet>
#include <QSqlRecord>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}

// Reads the values of one date format straight from the stored bytes. The formats users pick are digits and fixed
// separators ("yyyy-MM-dd", "yyyy年M月d日", "MM/dd/yyyy"); those are read here without building a text for every
// value, which matters over a few hundred thousand dates. Anything else, and any value this strict reading refuses
// (a time of day after the date, a missing leading zero), goes to the general reading of dates.
class DateReader {
public:
    explicit DateReader(const QString &format)
        : mFormat(format) {
        compile(format.isEmpty() ? ShortDateFormat() : format);
    }

    QDate read(const char *text, int size) const {
        while (size > 0 && (*text == ' ' || *text == '\t'))
            ++text, --size;
        while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == '\t'))
            --size;
        if (mSimple) {
            if (const QDate d = readStrict(text, size); d.isValid())
                return d;
        }
        const TextResult<QDateTime> general = TextToDateTime(QString::fromUtf8(text, size), mFormat);
        return general ? general.value.date() : QDate();
    }

private:
    struct Part {
        enum Kind { Year, Month, Day, Literal } kind;
        int minDigits = 0;
        int maxDigits = 0;
        QByteArray literal;
    };

    void compile(const QString &format) {
        QByteArray literal;
        const auto flush = [&] {
            if (!literal.isEmpty())
                mParts.push_back(Part{Part::Literal, 0, 0, literal});
            literal.clear();
        };
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format.at(i);
            if (c == u'"' || c == u'\'') {
                const qsizetype end = format.indexOf(c, i + 1);
                const qsizetype stop = end < 0 ? format.size() : end;
                literal += format.mid(i + 1, stop - i - 1).toUtf8();
                i = stop + 1;
                continue;
            }
            const QChar lower = c.toLower();
            qsizetype run = 1;
            while (i + run < format.size() && format.at(i + run).toLower() == lower)
                ++run;
            i += run;
            if (lower == u'y' || lower == u'm' || lower == u'd') {
                // Two-digit years, month and weekday names: the general reading.
                if ((lower == u'y' && run != 4) || (lower != u'y' && run > 2))
                    return;
                flush();
                const Part::Kind kind = lower == u'y' ? Part::Year : lower == u'm' ? Part::Month : Part::Day;
                mParts.push_back(Part{kind, int(run == 1 ? 1 : run), int(run == 1 ? 2 : run), {}});
            } else if (lower == u'h' || lower == u'n' || lower == u's' || lower == u'z') {
                return; // a time of day
            } else {
                literal += format.mid(i - run, run).toUtf8();
            }
        }
        flush();
        mSimple = true;
    }

    QDate readStrict(const char *text, int size) const {
        int at = 0;
        int year = 0;
        int month = 0;
        int day = 0;
        for (const Part &part : mParts) {
            if (part.kind == Part::Literal) {
                if (size - at < part.literal.size() ||
                    memcmp(text + at, part.literal.constData(), size_t(part.literal.size())) != 0)
                    return {};
                at += int(part.literal.size());
                continue;
            }
            int value = 0;
            int digits = 0;
            while (digits < part.maxDigits && at < size && text[at] >= '0' && text[at] <= '9') {
                value = value * 10 + (text[at] - '0');
                ++at;
                ++digits;
            }
            if (digits < part.minDigits)
                return {};
            (part.kind == Part::Year ? year : part.kind == Part::Month ? month : day) = value;
        }
        return at == size ? QDate(year, month, day) : QDate();
    }

    QString mFormat;
    std::vector<Part> mParts;
    bool mSimple = false;
};

struct MarkedIndicator {
    int id = 0;
    QString name;
    QString column;
    int daysAhead = 0;
    DateReader reader;
};

QString doneKey(qint64 contract, int indicator, const QDate &date) {
    return QString::number(contract) + u'|' + QString::number(indicator) + u'|' + date.toString(Qt::ISODate);
}

} // namespace

struct DueReminders::CategoryPlan {
    QString code;
    QString name;
    QString numberColumn;
    QString firstName, firstColumn, secondName, secondColumn;
    std::vector<MarkedIndicator> marked;
};

namespace {

// Column names come from the indicator rows; only "Data1" to "Data80" may go into a statement.
bool isValueColumn(const QString &column) {
    if (!column.startsWith(QLatin1String("Data")))
        return false;
    bool ok = false;
    const int n = column.mid(4).toInt(&ok);
    return ok && n >= 1 && n <= 80 && column == QStringLiteral("Data%1").arg(n);
}

QString labelled(const QString &name, const char *text, int size) {
    if (name.isEmpty() || size == 0)
        return {};
    return name + QStringLiteral("：") + QString::fromUtf8(text, size);
}

} // namespace

QDate DueReminders::readDate(const QString &text, const QString &format) {
    const QByteArray bytes = text.toUtf8();
    return DateReader(format).read(bytes.constData(), int(bytes.size()));
}

DueReminders::DueReminders(Database &database)
    : mStore(database) {}

bool DueReminders::readPlans(const Options &options, std::vector<CategoryPlan> &plans, QString *error) {
    const std::optional<QHash<QString, QString>> categoryNames = mStore.categoryNames(error);
    if (!categoryNames)
        return false;
    return mStore.eachIndicator(
        [&](const QSqlRecord &row) {
            const Indicator indicator = Indicator::fromRecord(row);
            if (!isValueColumn(indicator.DataFieldA))
                return;
            if (plans.empty() || plans.back().code != indicator.MainTypeCode) {
                plans.emplace_back();
                plans.back().code = indicator.MainTypeCode;
                plans.back().name = categoryNames->value(indicator.MainTypeCode);
            }
            CategoryPlan &plan = plans.back();
            if (plan.numberColumn.isEmpty() && ContractNumbering::parseTemplate(indicator.CalcStr)) {
                plan.numberColumn = indicator.DataFieldA;
                return;
            }
            if (indicator.PropertyType == Indicator::Text) {
                if (plan.firstColumn.isEmpty()) {
                    plan.firstName = indicator.PropertyName;
                    plan.firstColumn = indicator.DataFieldA;
                } else if (plan.secondColumn.isEmpty()) {
                    plan.secondName = indicator.PropertyName;
                    plan.secondColumn = indicator.DataFieldA;
                }
            }
            if (indicator.PropertyType == Indicator::Date && row.value(QStringLiteral("DueRemind")).toInt() == 1) {
                const int own = std::clamp(row.value(QStringLiteral("DueDays")).toInt(), 0, MaxDaysAhead);
                plan.marked.push_back(MarkedIndicator{indicator.ID, indicator.PropertyName, indicator.DataFieldA,
                                                      options.daysAhead >= 0 ? options.daysAhead : own,
                                                      DateReader(indicator.FormatStr)});
            }
        },
        error);
}

bool DueReminders::readCategory(const CategoryPlan &plan, const QDate &today, const Options &options,
                                const QSet<QString> &done, QString *error) {
    const QDate earliest = today.addDays(-DaysPast);
    QStringList columns{plan.numberColumn, plan.firstColumn, plan.secondColumn};
    for (const MarkedIndicator &m : plan.marked)
        columns << m.column;
    const auto remind = [&](const MarkedIndicator &m, const char *const *texts, const int *sizes, int at) {
        DueReminder r;
        r.contractId = QByteArray::fromRawData(texts[0], sizes[0]).toLongLong();
        r.categoryCode = plan.code;
        r.categoryName = plan.name;
        r.contractNumber = sizes[1] > 0 ? QString::fromUtf8(texts[1], sizes[1]) : QString::fromUtf8(texts[0], sizes[0]);
        r.indicatorId = m.id;
        r.indicatorName = m.name;
        r.dateText = QString::fromUtf8(texts[at], sizes[at]);
        r.firstText = labelled(plan.firstName, texts[2], sizes[2]);
        r.secondText = labelled(plan.secondName, texts[3], sizes[3]);
        return r;
    };
    return mStore.readDates(
        plan.code, columns,
        [&](const char *const *texts, const int *sizes) {
            for (size_t i = 0; i < plan.marked.size(); ++i) {
                const int at = 4 + int(i);
                const MarkedIndicator &m = plan.marked[i];
                const char *text = texts[at];
                int size = sizes[at];
                while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == '\t'))
                    --size;
                if (size == 0)
                    continue; // no date entered
                const QDate date = m.reader.read(text, size);
                if (!date.isValid()) {
                    mUnreadable.append(remind(m, texts, sizes, at));
                    continue;
                }
                if (date < earliest || date > today.addDays(m.daysAhead))
                    continue;
                DueReminder r = remind(m, texts, sizes, at);
                r.date = date;
                r.daysLeft = int(today.daysTo(date));
                r.done = !done.isEmpty() && done.contains(doneKey(r.contractId, r.indicatorId, date));
                if (!r.done || options.includeDone)
                    mDue.append(std::move(r));
            }
        },
        error);
}

void DueReminders::sortByDate() {
    // The rows were read category by category in ID order; ordered by date they keep that order within a day. An
    // order of positions is sorted rather than the rows themselves, which are large to move.
    std::vector<std::pair<qint64, int>> order;
    order.reserve(size_t(mDue.size()));
    for (int i = 0; i < mDue.size(); ++i)
        order.emplace_back(mDue.at(i).date.toJulianDay(), i);
    std::sort(order.begin(), order.end());
    QList<DueReminder> sorted;
    sorted.reserve(mDue.size());
    for (const auto &[day, at] : order)
        sorted.append(std::move(mDue[at]));
    mDue = std::move(sorted);
}

bool DueReminders::load(const QDate &today, const Options &options, QString *error) {
    mDue.clear();
    mUnreadable.clear();
    std::vector<CategoryPlan> plans;
    if (!readPlans(options, plans, error))
        return false;
    const std::optional<QSet<QString>> done = mStore.doneMarks(error);
    if (!done)
        return false;
    for (const CategoryPlan &plan : plans) {
        if (!plan.marked.empty() && !readCategory(plan, today, options, *done, error))
            return false;
    }
    sortByDate();
    return true;
}

int DueReminders::contractsDue() const {
    QSet<qint64> contracts;
    for (const DueReminder &r : mDue) {
        if (!r.done)
            contracts.insert(r.contractId);
    }
    return int(contracts.size());
}

bool DueReminders::markDone(const DueReminder &reminder, const QDateTime &at, QString *error) {
    if (!reminder.date.isValid())
        return fail(error, QStringLiteral("no date"));
    return mStore.markDone(reminder.contractId, reminder.indicatorId, reminder.date, at, error);
}

bool DueReminders::unmarkDone(const DueReminder &reminder, QString *error) {
    return mStore.unmarkDone(reminder.contractId, reminder.indicatorId, reminder.date, error);
}
