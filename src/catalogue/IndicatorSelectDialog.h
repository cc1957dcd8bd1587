#pragma once

#include "catalogue/IndicatorPicker.h"

#include <QDialog>

class QPushButton;
class QTableView;

// Chooses one indicator of a category by name.
class IndicatorSelectDialog : public QDialog {
    Q_OBJECT

public:
    IndicatorSelectDialog(Database &database, const QString &categoryCode, QWidget *parent = nullptr);

    bool load();
    // Closes with the selected name.
    void choose();
    const IndicatorPicker &picker() const { return mPicker; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    IndicatorPicker mPicker;
    QTableView *indicatorGrid = nullptr;
    QPushButton *cmdSelect = nullptr;
    QPushButton *cmdClose = nullptr;
};

// True with the chosen indicator's name; false (and empty text) when nothing was chosen or the indicators could
// not be read.
bool SelectIndicator(Database &database, const QString &categoryCode, QString *name, QWidget *parent = nullptr);
