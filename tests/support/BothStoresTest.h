#pragma once

#include "support/TempAppFolder.h"

#include <QObject>
#include <QTest>

// Base of a test class whose every test runs once on the embedded file and once on the test server (skipped, with
// the reason, when the server is not there). A subclass that needs more before each test overrides initStore()
// instead of declaring its own init().
class BothStoresTest : public QObject {
    Q_OBJECT
protected:
    // Runs in init() once the row's store is chosen (not for a skipped row); a failed check there fails the test
    // before it runs.
    virtual void initStore() {}

private Q_SLOTS:
    void initTestCase_data() { TempAppFolder::addStoreRows(); }
    void init() {
        const QString why = TempAppFolder::selectStore();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        initStore();
    }
    void cleanupTestCase() { TempAppFolder::useStore(TempAppFolder::Store::Embedded); }
};
