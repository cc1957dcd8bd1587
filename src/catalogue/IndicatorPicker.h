#pragma once

#include <QItemSelectionModel>
#include <QStandardItemModel>

class Database;

// What the indicator picker decides: the names of a category's indicators in one column, and the choice.
class IndicatorPicker {
public:
    IndicatorPicker(Database &database, const QString &categoryCode);

    QStandardItemModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }

    // Reads the names; false (with the message) when they cannot be read.
    bool load();
    // Takes the selected name; false while the list is empty.
    bool choose();

    bool cancelled() const { return mCancelled; }
    QString chosenName() const { return mName; }

private:
    Database &mDatabase;
    QString mCategoryCode;
    QStandardItemModel mModel;
    QItemSelectionModel mSelection;
    bool mCancelled = true;
    QString mName;
};
