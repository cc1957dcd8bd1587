#pragma once

#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QList>
#include <QString>

#include <memory>
#include <utility>

// Base of a test class whose every test runs on both stores, each in a fresh application folder (mApp) holding the
// root category 0001 "根" and the children the subclass names, with scripted messages (mMessages) installed. A
// subclass adds what its tests share in initFolder(); the folder goes after each test.
class FolderTest : public BothStoresTest {
    Q_OBJECT
protected:
    explicit FolderTest(QList<std::pair<QString, QString>> children)
        : mChildren(std::move(children)) {}
    // Runs once the folder and its categories are there.
    virtual void initFolder() {}

    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;

private:
    void initStore() override {
        mApp = std::make_unique<TempAppFolder>();
        QVERIFY(mApp->isValid());
        QVERIFY(mApp->addCategoryTree(mChildren));
        mMessages.clear();
        Messages::setInstance(&mMessages);
        initFolder();
    }

    QList<std::pair<QString, QString>> mChildren;

private Q_SLOTS:
    void cleanup() {
        mApp.reset();
        Messages::setInstance(nullptr);
    }
};
