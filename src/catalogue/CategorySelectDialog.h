#pragma once

#include "catalogue/CategoryPicker.h"

#include <QDialog>

class CategoryTreeView;
class QPushButton;

// Chooses a child category from the category tree.
class CategorySelectDialog : public QDialog {
    Q_OBJECT

public:
    explicit CategorySelectDialog(Database &database, QWidget *parent = nullptr);

    bool load();
    // Closes with the selected child category; a root gets a message.
    void choose();
    const CategoryPicker &picker() const { return mPicker; }

private:
    CategoryPicker mPicker;
    CategoryTreeView *Tree = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPushButton *cmdClose = nullptr;
};

// True with the chosen child category's code and name; false (and empty values) when nothing was chosen or the
// categories could not be read.
bool SelectCategory(Database &database, QString *code, QString *name, QWidget *parent = nullptr);
