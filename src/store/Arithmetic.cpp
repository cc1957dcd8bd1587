#include "store/Arithmetic.h"

#include <QList>
#include <QStringList>

#include <cfloat>
#include <cmath>

namespace {

// Rounds to the nearest integer, a half to the even neighbour, as the old engine converted operands of \ and Mod.
double roundHalfEven(double x)
{
    return std::nearbyint(x);
}

// The old engine's Round: a half goes to the even neighbour. Values such as 62.525 are not exact in binary, so
// a distance from the half within the noise of the multiplication still counts as the half the user wrote.
double roundDigits(double x, int digits)
{
    const double factor = std::pow(10.0, digits);
    const double scaled = x * factor;
    if (!std::isfinite(scaled))
        return x;
    const double floor = std::floor(scaled);
    const double tolerance = 8 * DBL_EPSILON * std::max(1.0, std::fabs(scaled));
    double rounded = 0;
    if (std::fabs(scaled - floor - 0.5) <= tolerance)
        rounded = std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
    else
        rounded = std::round(scaled);
    return rounded / factor;
}

bool isNameChar(QChar c)
{
    return c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
}

// Recursive descent, lowest precedence first:
//   sum      = modulo {(+|-) modulo}
//   modulo   = quotient {Mod quotient}
//   quotient = product {\ product}
//   product  = negation {(*|/) negation}
//   negation = (+|-) negation | power          -- so -3^2 is -(3^2)
//   power    = primary [^ exponent]             exponent = (+|-) exponent | power
//   primary  = number | '(' sum ')' | name '(' sum {, sum} ')'
class Parser
{
public:
    explicit Parser(const QString &text)
        : mText(text)
    {
    }

    Arithmetic::Result parse()
    {
        auto value = sum();
        skipSpaces();
        if (value && mPos != mText.size())
            value = std::nullopt;
        if (value && !std::isfinite(*value))
            return {std::nullopt, QStringLiteral("计算结果超出范围")};
        if (!value)
            return {std::nullopt, mError.isEmpty() ? QStringLiteral("表达式无法识别") : mError};
        // A negative zero would be shown as "-0".
        return {*value == 0 ? 0.0 : *value, QString()};
    }

private:
    static constexpr int MaxDepth = 200;

    std::optional<double> fail(const QString &reason)
    {
        if (mError.isEmpty())
            mError = reason;
        return std::nullopt;
    }

    void skipSpaces()
    {
        while (mPos < mText.size() && mText.at(mPos).isSpace())
            ++mPos;
    }

    bool take(QChar c)
    {
        skipSpaces();
        if (mPos < mText.size() && mText.at(mPos) == c) {
            ++mPos;
            return true;
        }
        return false;
    }

    bool takeWord(QLatin1StringView word)
    {
        skipSpaces();
        const qsizetype end = mPos + word.size();
        if (end > mText.size() || QStringView(mText).mid(mPos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        if (end < mText.size() && isNameChar(mText.at(end)))
            return false;
        mPos = end;
        return true;
    }

    bool enter()
    {
        return ++mDepth <= MaxDepth;
    }

    std::optional<double> sum()
    {
        if (!enter())
            return fail(QStringLiteral("表达式嵌套过深"));
        auto value = modulo();
        while (value) {
            if (take(QLatin1Char('+'))) {
                auto rhs = modulo();
                value = rhs ? std::optional(*value + *rhs) : std::nullopt;
            } else if (take(QLatin1Char('-'))) {
                auto rhs = modulo();
                value = rhs ? std::optional(*value - *rhs) : std::nullopt;
            } else {
                break;
            }
        }
        --mDepth;
        return value;
    }

    std::optional<double> modulo()
    {
        auto value = quotient();
        while (value && takeWord(QLatin1StringView("mod"))) {
            auto rhs = quotient();
            value = rhs ? mod(*value, *rhs) : std::nullopt;
        }
        return value;
    }

    std::optional<double> quotient()
    {
        auto value = product();
        while (value && take(QLatin1Char('\\'))) {
            auto rhs = product();
            value = rhs ? integerDivide(*value, *rhs) : std::nullopt;
        }
        return value;
    }

    std::optional<double> product()
    {
        auto value = negation();
        while (value) {
            if (take(QLatin1Char('*'))) {
                auto rhs = negation();
                value = rhs ? std::optional(*value * *rhs) : std::nullopt;
            } else if (take(QLatin1Char('/'))) {
                auto rhs = negation();
                if (rhs && *rhs == 0.0)
                    return fail(QStringLiteral("除数为零"));
                value = rhs ? std::optional(*value / *rhs) : std::nullopt;
            } else {
                break;
            }
        }
        return value;
    }

    std::optional<double> negation()
    {
        return signed_([this] { return power(); });
    }

    template<typename Next>
    std::optional<double> signed_(Next next)
    {
        const bool minus = take(QLatin1Char('-'));
        if (minus || take(QLatin1Char('+'))) {
            if (!enter())
                return fail(QStringLiteral("表达式嵌套过深"));
            auto value = signed_(next);
            --mDepth;
            if (!value)
                return std::nullopt;
            return minus ? -*value : *value;
        }
        return next();
    }

    std::optional<double> power()
    {
        auto base = primary();
        if (base && take(QLatin1Char('^'))) {
            if (!enter())
                return fail(QStringLiteral("表达式嵌套过深"));
            auto exponent = signed_([this] { return power(); });
            --mDepth;
            if (!exponent)
                return std::nullopt;
            return std::pow(*base, *exponent);
        }
        return base;
    }

    std::optional<double> primary()
    {
        if (take(QLatin1Char('('))) {
            auto value = sum();
            if (!value || !take(QLatin1Char(')')))
                return std::nullopt;
            return value;
        }
        skipSpaces();
        if (mPos < mText.size() && mText.at(mPos).unicode() < 128 && mText.at(mPos).isLetter())
            return function();
        return number();
    }

    std::optional<double> function()
    {
        const qsizetype start = mPos;
        while (mPos < mText.size() && isNameChar(mText.at(mPos)))
            ++mPos;
        const QString name = mText.mid(start, mPos - start);
        const QString key = name.toLower();
        static const QStringList known{QStringLiteral("round"), QStringLiteral("int"), QStringLiteral("fix"),
                                       QStringLiteral("abs"),   QStringLiteral("sgn"), QStringLiteral("sqr"),
                                       QStringLiteral("mod")};
        if (!known.contains(key))
            return fail(QStringLiteral("不认识的函数或名称：%1").arg(name));
        if (!take(QLatin1Char('(')))
            return fail(QStringLiteral("函数%1后缺少括号").arg(name));
        QList<double> args;
        if (!take(QLatin1Char(')'))) {
            do {
                auto arg = sum();
                if (!arg)
                    return std::nullopt;
                args << *arg;
            } while (take(QLatin1Char(',')));
            if (!take(QLatin1Char(')')))
                return std::nullopt;
        }
        const qsizetype count = args.size();
        const bool twoArguments = key == QLatin1String("mod");
        const bool optionalSecond = key == QLatin1String("round");
        if (!(count == 1 && !twoArguments) && !(count == 2 && (twoArguments || optionalSecond)))
            return fail(QStringLiteral("函数%1的参数个数不对").arg(name));
        const double x = args.at(0);
        if (key == QLatin1String("round")) {
            const double digits = count == 2 ? roundHalfEven(args.at(1)) : 0.0;
            if (digits < 0)
                return fail(QStringLiteral("函数%1的小数位数不能为负").arg(name));
            return digits > 15 ? x : roundDigits(x, int(digits));
        }
        if (key == QLatin1String("int"))
            return std::floor(x);
        if (key == QLatin1String("fix"))
            return std::trunc(x);
        if (key == QLatin1String("abs"))
            return std::fabs(x);
        if (key == QLatin1String("sgn"))
            return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0;
        if (key == QLatin1String("sqr")) {
            if (x < 0)
                return fail(QStringLiteral("负数不能开平方"));
            return std::sqrt(x);
        }
        return mod(x, args.at(1));
    }

    // Both operands are first rounded to whole numbers; the remainder takes the sign of the dividend.
    std::optional<double> mod(double a, double b)
    {
        const double divisor = roundHalfEven(b);
        if (divisor == 0)
            return fail(QStringLiteral("除数为零"));
        return std::fmod(roundHalfEven(a), divisor);
    }

    std::optional<double> integerDivide(double a, double b)
    {
        const double divisor = roundHalfEven(b);
        if (divisor == 0)
            return fail(QStringLiteral("除数为零"));
        return std::trunc(roundHalfEven(a) / divisor);
    }

    std::optional<double> number()
    {
        skipSpaces();
        const qsizetype start = mPos;
        auto digits = [&] {
            const qsizetype from = mPos;
            while (mPos < mText.size() && mText.at(mPos).unicode() < 128 && mText.at(mPos).isDigit())
                ++mPos;
            return mPos - from;
        };
        qsizetype count = digits();
        if (mPos < mText.size() && mText.at(mPos) == QLatin1Char('.')) {
            ++mPos;
            count += digits();
        }
        if (count == 0)
            return std::nullopt;
        if (mPos < mText.size() && (mText.at(mPos) == QLatin1Char('e') || mText.at(mPos) == QLatin1Char('E'))) {
            const qsizetype mark = mPos;
            ++mPos;
            if (mPos < mText.size() && (mText.at(mPos) == QLatin1Char('+') || mText.at(mPos) == QLatin1Char('-')))
                ++mPos;
            if (digits() == 0)
                mPos = mark;
        }
        bool ok = false;
        const double value = mText.mid(start, mPos - start).toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return value;
    }

    const QString &mText;
    qsizetype mPos = 0;
    int mDepth = 0;
    QString mError;
};

} // namespace

Arithmetic::Result Arithmetic::compute(const QString &expression)
{
    return Parser(expression).parse();
}

std::optional<double> Arithmetic::evaluate(const QString &expression)
{
    return compute(expression).value;
}
