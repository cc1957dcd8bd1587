#include "Arithmetic.h"

#include <cmath>

namespace {

// Recursive descent over: expr = term {(+|-) term}; term = power {(*|/) power};
// power = unary [^ power]; unary = {+|-} primary; primary = number | '(' expr ')'.
class Parser
{
public:
    explicit Parser(const QString &text)
        : mText(text)
    {
    }

    std::optional<double> parse()
    {
        auto value = expression();
        skipSpaces();
        if (!value || mPos != mText.size() || !std::isfinite(*value))
            return std::nullopt;
        return value;
    }

private:
    static constexpr int MaxDepth = 200;

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

    std::optional<double> expression()
    {
        if (++mDepth > MaxDepth)
            return std::nullopt;
        auto value = term();
        while (value) {
            if (take(QLatin1Char('+'))) {
                auto rhs = term();
                if (!rhs)
                    return std::nullopt;
                *value += *rhs;
            } else if (take(QLatin1Char('-'))) {
                auto rhs = term();
                if (!rhs)
                    return std::nullopt;
                *value -= *rhs;
            } else {
                break;
            }
        }
        --mDepth;
        return value;
    }

    std::optional<double> term()
    {
        auto value = power();
        while (value) {
            if (take(QLatin1Char('*'))) {
                auto rhs = power();
                if (!rhs)
                    return std::nullopt;
                *value *= *rhs;
            } else if (take(QLatin1Char('/'))) {
                auto rhs = power();
                if (!rhs || *rhs == 0.0)
                    return std::nullopt;
                *value /= *rhs;
            } else {
                break;
            }
        }
        return value;
    }

    std::optional<double> power()
    {
        auto base = unary();
        if (base && take(QLatin1Char('^'))) {
            if (++mDepth > MaxDepth)
                return std::nullopt;
            auto exponent = power();
            --mDepth;
            if (!exponent)
                return std::nullopt;
            return std::pow(*base, *exponent);
        }
        return base;
    }

    std::optional<double> unary()
    {
        if (take(QLatin1Char('-'))) {
            if (++mDepth > MaxDepth)
                return std::nullopt;
            auto value = unary();
            --mDepth;
            if (!value)
                return std::nullopt;
            return -*value;
        }
        if (take(QLatin1Char('+'))) {
            if (++mDepth > MaxDepth)
                return std::nullopt;
            auto value = unary();
            --mDepth;
            return value;
        }
        return primary();
    }

    std::optional<double> primary()
    {
        if (take(QLatin1Char('('))) {
            auto value = expression();
            if (!value || !take(QLatin1Char(')')))
                return std::nullopt;
            return value;
        }
        return number();
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
};

} // namespace

std::optional<double> Arithmetic::evaluate(const QString &expression)
{
    return Parser(expression).parse();
}
