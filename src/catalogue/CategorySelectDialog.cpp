#include "catalogue/CategorySelectDialog.h"

#include "catalogue/CategoryTreeView.h"
#include "platform/DialogButtonRow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CategorySelectDialog::CategorySelectDialog(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CategorySelectDialog"));
    setWindowTitle(QStringLiteral("选择合同模板"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    Tree = new CategoryTreeView(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setCategoryModel(mPicker.model(), mPicker.selectionModel());
    auto *buttons = new DialogButtonRow(this);
    cmdSelect = buttons->add("cmdSelect", QStringLiteral("选中(&S)"), DialogButtonRow::Enter::Never);
    cmdClose = buttons->addCancel("cmdClose", QStringLiteral("退出(&X)"), DialogButtonRow::Enter::Never);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tree);
    layout->addLayout(buttons);
    setFixedSize(320, 440);

    connect(cmdSelect, &QPushButton::clicked, this, &CategorySelectDialog::cmdSelectClick);
    connect(Tree, &QTreeView::doubleClicked, this, &CategorySelectDialog::cmdSelectClick);
    connect(Tree, &CategoryTreeView::enterPressed, this, &CategorySelectDialog::cmdSelectClick);
    Tree->setFocus();
}

bool CategorySelectDialog::ReadyData() {
    if (!mPicker.ReadyData())
        return false;
    Tree->setCurrentIndex(mPicker.selectionModel()->currentIndex());
    return true;
}

void CategorySelectDialog::cmdSelectClick() {
    if (mPicker.cmdSelectClick())
        accept();
}

bool SelectCategory(QString *code, QString *name, QWidget *parent) {
    CategorySelectDialog dialog(parent);
    if (code)
        code->clear();
    if (name)
        name->clear();
    if (!dialog.ReadyData())
        return false;
    dialog.exec();
    if (dialog.picker().cancelled())
        return false;
    if (code)
        *code = dialog.picker().chosenCode();
    if (name)
        *name = dialog.picker().chosenName();
    return true;
}
