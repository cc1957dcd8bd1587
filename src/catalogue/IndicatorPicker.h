#pragma once

#include <QItemSelectionModel>
#include <QStandardItemModel>

// What the indicator picker decides: the names of a category's indicators in one column, and the choice.
class IndicatorPicker {
public:
    explicit IndicatorPicker(const QString &categoryCode);

    QStandardItemModel *model() { return &mModel; }
    QItemSelectionModel *selectionModel() { return &mSelection; }

    // Reads the names; false (with the message) when they cannot be read.
    bool ReadyData();
    // Takes the selected name; false while the list is empty.
    bool cmdSelectClick();

    bool cancelled() const { return mCancelled; }
    QString chosenName() const { return mName; }

private:
    QString mCategoryCode;
    QStandardItemModel mModel;
    QItemSelectionModel mSelection;
    bool mCancelled = true;
    QString mName;
};
