#pragma once

#include <QDialog>

#include <functional>

class Database;
class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The system rebuild dialog: two coupled check boxes choose what to clear, "系统重建" clears it after a warning.
class RebuildDialog : public QDialog {
    Q_OBJECT
public:
    RebuildDialog(Database &database, std::function<void()> closeChildWindows, QWidget *parent = nullptr);

    void rebuild();

    QPlainTextEdit *warningText;
    QCheckBox *clearRecordsCheck;
    QCheckBox *clearBasicsCheck;
    QPushButton *rebuildButton;
    QPushButton *cmdCancel;
    QListWidget *ListSQL;

private:
    // The two check boxes are coupled: the basic information never goes without the business data.
    void recordsCheckToggled(bool checked);
    void basicsCheckToggled(bool checked);

    Database &mDatabase;
    std::function<void()> mCloseChildWindows;
};
