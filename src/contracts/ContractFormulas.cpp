#include "contracts/ContractFormulas.h"

#include "contracts/ContractEntryGrid.h"
#include "platform/Messages.h"
#include "store/Arithmetic.h"
#include "text/ChineseDate.h"
#include "text/ChineseMoney.h"
#include "text/DateText.h"
#include "text/NumberText.h"
#include "text/TextHelpers.h"

namespace {
const QString KeyDate = QStringLiteral("[DATE_STOB]");
const QString KeyMoney = QStringLiteral("[MONEY_STOB]");
const QString KeyMoneyWan = QStringLiteral("[MONEY_STOB_W]");
} // namespace

ContractFormulas::ContractFormulas(ContractEntryGrid &grid)
    : mGrid(grid) {}

QString ContractFormulas::trimFormula(const QString &formula) {
    qsizetype first = 0;
    qsizetype last = formula.size();
    while (first < last && formula.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && formula.at(last - 1).unicode() <= 0x20)
        --last;
    return formula.mid(first, last - first);
}

QString ContractFormulas::errorMessage(const QString &reason) {
    return QStringLiteral("自动计算公式出错！请检验扩展参数模板中的计算字段设置！") + QLatin1Char('\n') +
           QStringLiteral("错误原因：") + reason + QLatin1Char('\n');
}

bool ContractFormulas::recalculate(const QString &name, const QString &value) {
    return start(name, {value, DecimalText::parse(value)});
}

bool ContractFormulas::recalculate(const QString &name, const QString &shown, const DecimalText &number) {
    return start(name, {shown, number});
}

bool ContractFormulas::start(const QString &name, const Value &value) {
    mCycleReported = false;
    mArithmeticReported = false;
    QStringList chain{name};
    return checkLevel(name, value, chain);
}

bool ContractFormulas::checkLevel(const QString &name, const Value &value, QStringList &chain) {
    const QString reference = QLatin1Char('[') + name + QLatin1Char(']');
    for (int r = 0; r < mGrid.rows(); ++r) {
        const QString f = trimFormula(mGrid.cell(r, ContractEntryGrid::ColCalcStr));
        if (f.isEmpty())
            continue;
        const qsizetype p = f.indexOf(reference);
        if (p < 0)
            continue;

        const QString rowName = mGrid.name(r);
        // A row that is already being propagated would start the same evaluation again, without end: the formulas
        // refer to each other (or one to itself). Report the loop once and leave the row as it is.
        if (chain.contains(rowName)) {
            if (!mCycleReported) {
                mCycleReported = true;
                const QString loop = (chain.mid(chain.indexOf(rowName)) << rowName).join(QStringLiteral(" → "));
                Messages::instance().warning(errorMessage(QStringLiteral("计算字段循环引用：") + loop));
            }
            return false;
        }

        Value result;
        if (f.startsWith(KeyDate)) {
            // The value was written with its own row's format, which may be one of the user's choosing.
            const TextResult<QDateTime> date =
                TextToDateTime(value.text, mGrid.cell(mGrid.rowOf(name), ContractEntryGrid::ColFormat));
            if (!date) {
                Messages::instance().warning(errorMessage(date.error));
                return false;
            }
            result.text = DateToChinese(date.value.date());
        } else if (f.startsWith(KeyMoney) || f.startsWith(KeyMoneyWan)) {
            TextResult<QString> capital = TextResult<QString>::failure(NotANumberMessage(value.text));
            if (value.number)
                capital = f.startsWith(KeyMoney) ? MoneyToCapital(*value.number) : MoneyWanToCapital(*value.number);
            if (!capital) {
                Messages::instance().warning(errorMessage(capital.error));
                return false;
            }
            result.text = capital.value;
        } else {
            Arithmetic::Expression expression(substituteValues(f.left(p)));
            if (value.number)
                expression.append(value.text, *value.number);
            else
                expression.append(value.text);
            expression.append(substituteValues(f.mid(p + reference.size())));
            const Arithmetic::Result number = Arithmetic::compute(expression);
            if (!number.exact) {
                // A 0 in place of a formula that cannot be computed would pass for a result; say so once per change.
                if (!mArithmeticReported) {
                    mArithmeticReported = true;
                    Messages::instance().warning(errorMessage(QStringLiteral("“%1”的公式 %2 无法计算（%3），算式为 %4")
                                                                  .arg(rowName, f, number.error, expression.text())));
                }
                return false;
            }
            // What the next formulas compute with is the number as shown, not the unrounded one.
            const WrittenNumber written =
                WriteNumber(*number.exact, floatFormat(mGrid.cell(r, ContractEntryGrid::ColFormat)));
            result = {written.text, written.value};
        }
        mGrid.setValue(r, result.text);

        chain.append(rowName);
        // An error further down was reported there; this level goes on with its own rows.
        checkLevel(rowName, result, chain);
        chain.removeLast();
    }
    return true;
}

QString ContractFormulas::substituteValues(const QString &expression) const {
    QString out;
    qsizetype at = 0;
    while (true) {
        const qsizetype open = expression.indexOf(QLatin1Char('['), at);
        if (open < 0)
            break;
        const qsizetype close = expression.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0)
            break;
        out += expression.mid(at, open - at);
        out += valueOf(expression.mid(open + 1, close - open - 1));
        at = close + 1;
    }
    out += expression.mid(at);
    return out;
}

QString ContractFormulas::valueOf(const QString &name) const {
    // Names are unique within a category; should two rows share one, the lower row counts.
    for (int r = mGrid.rows() - 1; r >= 0; --r) {
        if (mGrid.name(r) == name) {
            const QString v = mGrid.value(r);
            return v.isEmpty() ? QStringLiteral("0") : v;
        }
    }
    return QStringLiteral("0");
}

QString ContractFormulas::floatFormat(const QString &formatStr) {
    const qsizetype point = formatStr.indexOf(QLatin1Char('.'));
    if (point < 0)
        return QStringLiteral("0");
    return QStringLiteral("0.") + PadLeftZeros(QString(), int(formatStr.size() - point - 1));
}
