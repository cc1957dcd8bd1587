#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The system rebuild dialog: two coupled check boxes choose what to clear, "系统重建" clears it after a warning.
class TfrmReBulid : public QDialog {
    Q_OBJECT
public:
    explicit TfrmReBulid(std::function<void()> closeChildWindows, QWidget *parent = nullptr);

    void cmdSHClick();

    QPlainTextEdit *EditWarm;
    QCheckBox *cmkYW;
    QCheckBox *chkJB;
    QPushButton *cmdSH;
    QPushButton *cmdCancel;
    QListWidget *ListSQL;

private:
    void cmkYWClick(bool checked);
    void chkJBClick(bool checked);

    std::function<void()> mCloseChildWindows;
};
