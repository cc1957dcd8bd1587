#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

// The row of command buttons at the foot of a dialog: right-aligned, in the order they are added.
class DialogButtonRow : public QHBoxLayout {
public:
    // What Enter does with a button: Default is pressed by Enter anywhere in the dialog; Focused only while it has
    // the focus (as any button of a dialog); Never leaves Enter to the dialog, which moves on to the next field.
    enum class Enter { Default, Focused, Never };

    explicit DialogButtonRow(QDialog *dialog)
        : mDialog(dialog) {
        addStretch();
    }

    QPushButton *add(const char *name, const QString &caption, Enter enter) {
        auto *button = new QPushButton(caption, mDialog);
        button->setObjectName(QLatin1String(name));
        if (enter == Enter::Default)
            button->setDefault(true);
        else if (enter == Enter::Never)
            button->setAutoDefault(false);
        addWidget(button);
        return button;
    }

    // A button that closes the dialog as Esc and the close box do.
    QPushButton *addCancel(const char *name, const QString &caption, Enter enter) {
        QPushButton *button = add(name, caption, enter);
        QObject::connect(button, &QPushButton::clicked, mDialog, &QDialog::reject);
        return button;
    }

private:
    QDialog *mDialog;
};
