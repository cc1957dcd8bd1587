#include "platform/QtMessages.h"

#include "platform/PasswordInputDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeView>

namespace {

// Qt's own size leaves the side bar too narrow for its Chinese place names.
void sizeFileDialog(QFileDialog &dialog) {
    dialog.resize(760, 480);
    if (auto *sides = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        sides->setSizes({150, 610});
    // Room for the size, the type and a Chinese date beside the name.
    if (auto *list = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        const int widths[] = {240, 90, 100, 150};
        for (int column = 0; column < 4; ++column)
            list->header()->resizeSection(column, widths[column]);
    }
}

} // namespace

QWidget *QtMessages::parentWindow() {
    return QApplication::activeWindow();
}

void QtMessages::information(const QString &text) {
    QMessageBox box(QMessageBox::Information, ApplicationTitle, text, QMessageBox::Ok, parentWindow());
    box.exec();
}

void QtMessages::warning(const QString &text) {
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Ok, parentWindow());
    box.exec();
}

bool QtMessages::question(const QString &text) {
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Messages::SaveChoice QtMessages::saveQuestion(const QString &text) {
    QMessageBox box(QMessageBox::Question, ApplicationTitle, text, QMessageBox::NoButton, parentWindow());
    QPushButton *save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("不保存"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    save->setObjectName(QStringLiteral("saveButton"));
    discard->setObjectName(QStringLiteral("discardButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::Save;
    if (box.clickedButton() == discard)
        return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

std::optional<QString> QtMessages::inputText(const QString &caption, const QString &prompt, const QString &initial) {
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

QString QtMessages::passwordPrompt(const QString &caption, const QString &hint) {
    return PasswordInputDialog::ask(caption, hint, parentWindow());
}

QString QtMessages::openFileName(const QString &caption, const QString &folder, const QString &filter) {
    QFileDialog dialog(parentWindow(), caption, folder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    sizeFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtMessages::saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) {
    QFileDialog dialog(parentWindow(), caption, proposedPath, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(proposedPath);
    sizeFileDialog(dialog);
    // A name typed without extension gets the filter's one before the dialog asks about replacing a file.
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch match = firstPattern.match(filter);
    if (match.hasMatch())
        dialog.setDefaultSuffix(match.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString QtMessages::folderName(const QString &caption, const QString &folder) {
    QFileDialog dialog(parentWindow(), caption, folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    sizeFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
