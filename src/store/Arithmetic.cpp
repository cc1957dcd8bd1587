#include "store/Arithmetic.h"

#include <QStringList>

#include <cmath>

namespace {

using Number = std::optional<DecimalText>;

// A quotient or square root that does not end keeps this many significant digits: far more than any amount has.
constexpr int QuotientDigits = 34;
// Functions that cut a value to whole numbers or places look at it to this many digits, so that the last rounded
// digits of a quotient do not turn 11.5 into 11.4999… (Round(11.5/3*3) is 12, Int(10/3*3) is 10).
constexpr int SettledDigits = 30;
// Places kept after the point; a smaller value is far below anything a formula shows.
constexpr int MaxDecimals = 400;
// A power with a whole exponent up to this is multiplied out exactly.
constexpr qint64 MaxWholeExponent = 1000000000;

DecimalText whole(qint64 value) {
    return DecimalText::fromInteger(value);
}

DecimalText settled(const DecimalText &x) {
    return x.roundedSignificant(SettledDigits);
}

// Rounds to the nearest integer, a half to the even neighbour, as the old engine converted operands of \ and Mod.
DecimalText roundHalfEven(const DecimalText &x) {
    return settled(x).roundedHalfEven(0);
}

// The old engine computed in doubles: a result beyond a double's range is refused as it was.
bool beyondRange(const DecimalText &x) {
    return x.integerDigits().size() > 308 && !std::isfinite(x.toDouble());
}

bool isNameChar(QChar c) {
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
class Parser {
public:
    explicit Parser(const Arithmetic::Expression &expression)
        : mExpression(expression)
        , mText(expression.text()) {}

    Arithmetic::Result parse() {
        auto value = sum();
        skipSpaces();
        if (value && mPos != mText.size())
            value = std::nullopt;
        if (!value)
            return {std::nullopt, mError.isEmpty() ? QStringLiteral("表达式无法识别") : mError, std::nullopt};
        return {value->toDouble(), QString(), *value};
    }

private:
    static constexpr int MaxDepth = 200;

    Number fail(const QString &reason) {
        if (mError.isEmpty())
            mError = reason;
        return std::nullopt;
    }

    // Every result passes here: too large fails, too many places are rounded away.
    Number checked(const Number &value) {
        if (!value)
            return std::nullopt;
        if (beyondRange(*value))
            return fail(QStringLiteral("计算结果超出范围"));
        if (value->decimals() > MaxDecimals)
            return value->rounded(MaxDecimals);
        return value;
    }

    void skipSpaces() {
        while (mPos < mText.size() && mText.at(mPos).isSpace())
            ++mPos;
    }

    bool take(QChar c) {
        skipSpaces();
        if (mPos < mText.size() && mText.at(mPos) == c) {
            ++mPos;
            return true;
        }
        return false;
    }

    bool takeWord(QLatin1StringView word) {
        skipSpaces();
        const qsizetype end = mPos + word.size();
        if (end > mText.size() || QStringView(mText).mid(mPos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        if (end < mText.size() && isNameChar(mText.at(end)))
            return false;
        mPos = end;
        return true;
    }

    bool enter() { return ++mDepth <= MaxDepth; }

    Number sum() {
        if (!enter())
            return fail(QStringLiteral("表达式嵌套过深"));
        auto value = modulo();
        while (value) {
            if (take(QLatin1Char('+'))) {
                auto rhs = modulo();
                value = rhs ? checked(*value + *rhs) : std::nullopt;
            } else if (take(QLatin1Char('-'))) {
                auto rhs = modulo();
                value = rhs ? checked(*value - *rhs) : std::nullopt;
            } else {
                break;
            }
        }
        --mDepth;
        return value;
    }

    Number modulo() {
        auto value = quotient();
        while (value && takeWord(QLatin1StringView("mod"))) {
            auto rhs = quotient();
            value = rhs ? mod(*value, *rhs) : std::nullopt;
        }
        return value;
    }

    Number quotient() {
        auto value = product();
        while (value && take(QLatin1Char('\\'))) {
            auto rhs = product();
            value = rhs ? integerDivide(*value, *rhs) : std::nullopt;
        }
        return value;
    }

    Number product() {
        auto value = negation();
        while (value) {
            if (take(QLatin1Char('*'))) {
                auto rhs = negation();
                value = rhs ? checked(*value * *rhs) : std::nullopt;
            } else if (take(QLatin1Char('/'))) {
                auto rhs = negation();
                if (rhs && rhs->isZero())
                    return fail(QStringLiteral("除数为零"));
                value = rhs ? checked(value->dividedBy(*rhs, QuotientDigits)) : std::nullopt;
            } else {
                break;
            }
        }
        return value;
    }

    Number negation() {
        return signed_([this] { return power(); });
    }

    template <typename Next> Number signed_(Next next) {
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

    Number power() {
        auto base = primary();
        if (base && take(QLatin1Char('^'))) {
            if (!enter())
                return fail(QStringLiteral("表达式嵌套过深"));
            auto exponent = signed_([this] { return power(); });
            --mDepth;
            if (!exponent)
                return std::nullopt;
            return raise(*base, *exponent);
        }
        return base;
    }

    Number raise(const DecimalText &base, const DecimalText &exponent) {
        if (!exponent.isInteger() || exponent.absolute() > whole(MaxWholeExponent)) {
            // Not a decimal in general (2^0.5): the double the old engine gave, as it showed it.
            const double result = std::pow(base.toDouble(), exponent.toDouble());
            if (!std::isfinite(result))
                return fail(QStringLiteral("计算结果超出范围"));
            return checked(DecimalText::fromDouble(result));
        }
        qint64 n = exponent.absolute().integerDigits().toLongLong();
        if (exponent.isNegative() && base.isZero())
            return fail(QStringLiteral("计算结果超出范围"));
        // Squares and multiplies, each step checked, so a power too large stops at once.
        DecimalText result = whole(1);
        DecimalText factor = base;
        const QString errorBefore = mError;
        bool tooLarge = false;
        while (n > 0 && !tooLarge) {
            if (n % 2 != 0) {
                const Number next = checked(result * factor);
                tooLarge = !next;
                if (next)
                    result = *next;
            }
            n /= 2;
            if (n > 0 && !tooLarge) {
                const Number next = checked(factor * factor);
                tooLarge = !next;
                if (next)
                    factor = *next;
            }
        }
        if (!exponent.isNegative())
            return tooLarge ? std::nullopt : Number(result);
        if (tooLarge) {
            // One over a number beyond range is below anything shown, as the old engine's 0.
            mError = errorBefore;
            return whole(0);
        }
        if (result.isZero()) // so small that no place held it: one over it is beyond range
            return fail(QStringLiteral("计算结果超出范围"));
        return checked(whole(1).dividedBy(result, QuotientDigits));
    }

    Number primary() {
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

    Number function() {
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
        QList<DecimalText> args;
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
        const DecimalText &x = args.at(0);
        if (key == QLatin1String("round")) {
            const DecimalText digits = count == 2 ? roundHalfEven(args.at(1)) : whole(0);
            if (digits.isNegative())
                return fail(QStringLiteral("函数%1的小数位数不能为负").arg(name));
            if (digits > whole(15))
                return x;
            // The old engine's Round: a half goes to the even neighbour.
            return settled(x).roundedHalfEven(digits.integerDigits().toInt());
        }
        if (key == QLatin1String("int"))
            return settled(x).floor();
        if (key == QLatin1String("fix"))
            return settled(x).truncated();
        if (key == QLatin1String("abs"))
            return x.absolute();
        if (key == QLatin1String("sgn"))
            return whole(x.isNegative() ? -1 : x.isZero() ? 0 : 1);
        if (key == QLatin1String("sqr")) {
            if (x.isNegative())
                return fail(QStringLiteral("负数不能开平方"));
            return x.squareRoot(QuotientDigits);
        }
        return mod(x, args.at(1));
    }

    // Both operands are first rounded to whole numbers; the remainder takes the sign of the dividend.
    Number mod(const DecimalText &a, const DecimalText &b) {
        const DecimalText divisor = roundHalfEven(b);
        if (divisor.isZero())
            return fail(QStringLiteral("除数为零"));
        return roundHalfEven(a).remainder(divisor);
    }

    Number integerDivide(const DecimalText &a, const DecimalText &b) {
        const DecimalText divisor = roundHalfEven(b);
        if (divisor.isZero())
            return fail(QStringLiteral("除数为零"));
        return roundHalfEven(a).wholeQuotient(divisor);
    }

    Number number() {
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
        if (Number known = mExpression.numberAt(start, mPos - start))
            return known;
        Number value = DecimalText::parse(QStringView(mText).mid(start, mPos - start));
        // A number written beyond a double's range does not read, as with the old engine.
        if (!value || beyondRange(*value))
            return std::nullopt;
        return value;
    }

    const Arithmetic::Expression &mExpression;
    const QString &mText;
    qsizetype mPos = 0;
    int mDepth = 0;
    QString mError;
};

} // namespace

void Arithmetic::Expression::append(const QString &text) {
    mText += text;
}

void Arithmetic::Expression::append(const QString &text, const DecimalText &number) {
    // The digits of the value are what the reader meets as one number; blanks and a sign in front are read as
    // they stand.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).isSpace())
        ++first;
    while (last > first && text.at(last - 1).isSpace())
        --last;
    if (first < last && (text.at(first) == QLatin1Char('-') || text.at(first) == QLatin1Char('+')))
        ++first;
    if (first < last)
        mSpans.append({mText.size() + first, last - first, number.absolute()});
    mText += text;
}

std::optional<DecimalText> Arithmetic::Expression::numberAt(qsizetype position, qsizetype length) const {
    for (const Span &span : mSpans) {
        if (span.position == position && span.length == length)
            return span.number;
    }
    return std::nullopt;
}

Arithmetic::Result Arithmetic::compute(const Expression &expression) {
    return Parser(expression).parse();
}

Arithmetic::Result Arithmetic::compute(const QString &expression) {
    return compute(Expression(expression));
}

std::optional<double> Arithmetic::evaluate(const QString &expression) {
    return compute(expression).value;
}
