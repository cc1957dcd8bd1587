#include "catalogue/CategorySelectDialog.h"

#include "catalogue/CategoryTreeView.h"
#include "platform/DialogButtonRow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CategorySelectDialog::CategorySelectDialog(Database &database, QWidget *parent)
    : QDialog(parent)
    , mPicker(database) {
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

    connect(cmdSelect, &QPushButton::clicked, this, &CategorySelectDialog::choose);
    connect(Tree, &QTreeView::doubleClicked, this, &CategorySelectDialog::choose);
    connect(Tree, &CategoryTreeView::enterPressed, this, &CategorySelectDialog::choose);
    Tree->setFocus();
}

bool CategorySelectDialog::load() {
    if (!mPicker.load())
        return false;
    Tree->setCurrentIndex(mPicker.selectionModel()->currentIndex());
    return true;
}

void CategorySelectDialog::choose() {
    if (mPicker.choose())
        accept();
}

bool SelectCategory(Database &database, QString *code, QString *name, QWidget *parent) {
    CategorySelectDialog dialog(database, parent);
    if (code)
        code->clear();
    if (name)
        name->clear();
    if (!dialog.load())
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
