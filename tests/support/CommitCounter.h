#pragma once

// Counts the transactions committed on the database's connection from its making until stop() or its end, so
// that a test sees how many commits an action cost.
class CommitCounter {
public:
    CommitCounter();
    ~CommitCounter();
    CommitCounter(const CommitCounter &) = delete;
    CommitCounter &operator=(const CommitCounter &) = delete;

    int count() const { return mCount; }
    void stop();

private:
    int mCount = 0;
    bool mCounting = false;
};
