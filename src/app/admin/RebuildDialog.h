#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The system rebuild dialog: two coupled check boxes choose what to clear, "系统重建" clears it after a warning.
class RebuildDialog : public QDialog {
    Q_OBJECT
public:
    explicit RebuildDialog(std::function<void()> closeChildWindows, QWidget *parent = nullptr);

    void rebuild();

    QPlainTextEdit *warningText;
    QCheckBox *clearRecordsCheck;
    QCheckBox *clearBasicsCheck;
    QPushButton *rebuildButton;
    QPushButton *cmdCancel;
    QListWidget *ListSQL;

private:
    void cmkYWClick(bool checked);
    void chkJBClick(bool checked);

    std::function<void()> mCloseChildWindows;
};
