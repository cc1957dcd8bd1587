#pragma once

#include "catalogue/CategoryTreeModel.h"

#include <QItemSelectionModel>

class Database;

// What the category picker decides: the tree as the template window builds it (without running a click), and
// which node may be chosen.
class CategoryPicker {
public:
    explicit CategoryPicker(Database &database);

    CategoryTreeModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }

    // Builds the tree and selects the topmost root; false (with the message) when the categories cannot be read.
    bool load();
    // Takes the selected child category; true when the dialog may close with a choice. A root gets a message.
    bool choose();

    bool cancelled() const { return mCancelled; }
    QString chosenCode() const { return mCode; }
    QString chosenName() const { return mName; }

private:
    Database &mDatabase;
    CategoryTreeModel mModel;
    QItemSelectionModel mSelection;
    bool mCancelled = true;
    QString mCode;
    QString mName;
};
