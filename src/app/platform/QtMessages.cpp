#include "QtMessages.h"

#include "TfrmPassInput.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

QWidget *QtMessages::parentWindow()
{
    return QApplication::activeWindow();
}

void QtMessages::information(const QString &text)
{
    QMessageBox box(QMessageBox::Information, ApplicationTitle, text, QMessageBox::Ok, parentWindow());
    box.exec();
}

void QtMessages::warning(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Ok, parentWindow());
    box.exec();
}

bool QtMessages::question(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtMessages::inputText(const QString &caption, const QString &prompt, const QString &initial)
{
    QInputDialog dialog(parentWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    dialog.resize(360, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString QtMessages::passwordPrompt(const QString &caption, const QString &hint)
{
    return TfrmPassInput::ask(caption, hint, parentWindow());
}

QString QtMessages::openFileName(const QString &caption, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(parentWindow(), caption, folder, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

QString QtMessages::saveFileName(const QString &caption, const QString &proposedPath, const QString &filter)
{
    QFileDialog dialog(parentWindow(), caption, proposedPath, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(proposedPath);
    // A name typed without extension gets the filter's one before the dialog asks about replacing a file.
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = firstPattern.match(filter);
    if (match.hasMatch())
        dialog.setDefaultSuffix(match.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
