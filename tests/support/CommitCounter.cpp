#include "support/CommitCounter.h"

#include "store/Database.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace {

sqlite3 *connection() {
    return *static_cast<sqlite3 *const *>(Database::instance().connection().driver()->handle().data());
}

int countCommit(void *counter) {
    ++*static_cast<int *>(counter);
    return 0; // the commit goes ahead
}

} // namespace

CommitCounter::CommitCounter() {
    sqlite3_commit_hook(connection(), &countCommit, &mCount);
    mCounting = true;
}

// A test that fails half-way must not leave the hook pointing at a counter that is gone.
CommitCounter::~CommitCounter() {
    stop();
}

void CommitCounter::stop() {
    if (!mCounting || !Database::exists())
        return;
    sqlite3_commit_hook(connection(), nullptr, nullptr);
    mCounting = false;
}
