#pragma once

#include <QDateTime>

// The time of day as the program sees it; tests set it.
class Clock {
public:
    virtual ~Clock();
    virtual QDateTime now() const = 0;

    static const Clock &instance();
    static void setInstance(const Clock *clock);
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime at)
        : mAt(std::move(at)) {}
    QDateTime now() const override { return mAt; }
    void set(const QDateTime &at) { mAt = at; }

private:
    QDateTime mAt;
};
