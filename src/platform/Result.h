#pragma once

#include <QString>

#include <utility>

// What an operation that can fail hands back: the value, or the reason in Chinese, ready to be shown to the user
// (usually after "错误原因："). Callers test it like a bool and read `value` or `error`.
//
//     Result<QString> r = readName(path);
//     if (!r)
//         return Result<int>::failure(r.error);
template <typename T> struct Result {
    bool ok = false;
    T value{};
    QString error;

    static Result success(T v) { return Result{true, std::move(v), QString()}; }
    static Result failure(QString why) { return Result{false, T{}, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// The same for an operation that has nothing to hand back: done, or the reason why not.
struct Status {
    bool ok = true;
    QString error;

    static Status success() { return Status{true, QString()}; }
    static Status failure(QString why) { return Status{false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};
