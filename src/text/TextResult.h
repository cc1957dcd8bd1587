#pragma once

#include <QString>

#include <utility>

// What the text functions hand back when their input can be wrong: either a value, or the reason in Chinese,
// ready to be put after "错误原因：" in a message.
template <typename T> struct TextResult {
    bool ok = false;
    T value{};
    QString error;

    static TextResult success(T v) { return TextResult{true, std::move(v), QString()}; }
    static TextResult failure(QString why) { return TextResult{false, T{}, std::move(why)}; }
    explicit operator bool() const { return ok; }
};
