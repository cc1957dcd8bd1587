#pragma once

#include "catalogue/IndicatorEditor.h"

#include <QDialog>

class Database;
class QCheckBox;
class QGridLayout;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QToolButton;

// Creates or changes one indicator. Opened by EditIndicator and EditIndicatorName.
class IndicatorEditorDialog : public QDialog {
    Q_OBJECT

public:
    IndicatorEditorDialog(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId,
                          QWidget *parent = nullptr);

    // Loads the indicator into the controls; false (after the message) when it cannot be read.
    bool load();
    // Stores the controls' values; false (after the message, with the field to correct focused) when refused.
    bool save();
    bool cancelled() const { return mEditor.cancelled(); }
    QString fieldName() const;

    // "保存(&S)": stores and closes.
    void saveAndClose();
    // The user picked a type: the format gets the type's suggestion.
    void suggestFormat();
    void insertMoneyToCapital();
    void insertMoneyWanToCapital();
    void insertDateToChinese();
    void insertNumbering();
    void insertExistingIndicator();
    // Puts the text on the clipboard and pastes it into the formula: at the start, or over the selection at the
    // caret.
    void insertFormulaText(const QString &text, bool atStart);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createFields();
    QGridLayout *layOutFields();
    void createFormulaMenu();
    void connectControls();
    // The controls of a new indicator.
    void resetControls();
    void copyControlsToValues();
    // The reminder applies to dates only.
    void enableDueControls();

    Database &mDatabase;
    IndicatorEditor mEditor;
    QLineEdit *EditFieldName = nullptr;
    QComboBox *cmbFieldType = nullptr;
    QComboBox *EditFormatStr = nullptr;
    QComboBox *cmbUnit = nullptr;
    QLineEdit *EditDefaultSelect = nullptr;
    QComboBox *cmbHisSelect = nullptr;
    QLineEdit *EditCalcStr = nullptr;
    QToolButton *formulaButton = nullptr;
    QComboBox *cmbNoNull = nullptr;
    QComboBox *cmbSortField = nullptr;
    QCheckBox *dueRemindCheck = nullptr;
    QSpinBox *dueDaysSpin = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCancel = nullptr;
    QMenu *formulaMenu = nullptr;
};

// Opens the editor for an indicator of the category (ID -1 for a new one); true when it was saved.
bool EditIndicator(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId,
                   QWidget *parent = nullptr);
// The same, giving the indicator's name when it was saved and empty text otherwise.
QString EditIndicatorName(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId,
                          QWidget *parent = nullptr);
