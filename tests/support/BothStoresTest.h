#pragma once

#include "support/TempAppFolder.h"

#include <QObject>
#include <QTest>

// Base of a test class whose every test runs once on the embedded file and once on the test server (skipped, with
// the reason, when the server is not there). A subclass that needs more in init() declares its own instead.
class BothStoresTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { TempAppFolder::addStoreRows(); }
    void init() {
        const QString why = TempAppFolder::selectStore();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    }
    void cleanupTestCase() { TempAppFolder::useStore(TempAppFolder::Store::Embedded); }
};
