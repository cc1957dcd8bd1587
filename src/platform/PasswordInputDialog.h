#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

// The small password prompt used by the login and the administrative checks.
class PasswordInputDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordInputDialog(QWidget *parent = nullptr);

    // Shows the prompt with the given caption and hint; returns the typed text however the prompt was closed.
    static QString ask(const QString &caption, const QString &hint, QWidget *parent = nullptr);

    QLabel *lblHint;
    QLineEdit *EditPass;
};
