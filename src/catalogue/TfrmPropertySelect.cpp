#include "catalogue/TfrmPropertySelect.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TfrmPropertySelect::TfrmPropertySelect(const QString &categoryCode, QWidget *parent)
    : QDialog(parent)
    , mPicker(categoryCode) {
    setObjectName(QStringLiteral("TfrmPropertySelect"));
    setWindowTitle(QStringLiteral("选择可插入的指标"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    DBGridEh2 = new QTableView(this);
    DBGridEh2->setObjectName(QStringLiteral("DBGridEh2"));
    DBGridEh2->setModel(mPicker.model());
    DBGridEh2->setSelectionModel(mPicker.selectionModel());
    DBGridEh2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGridEh2->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridEh2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEh2->horizontalHeader()->setStretchLastSection(true);
    DBGridEh2->verticalHeader()->hide();
    DBGridEh2->verticalHeader()->setDefaultSectionSize(22);
    DBGridEh2->installEventFilter(this);

    cmdSelect = new QPushButton(QStringLiteral("选中(&S)"), this);
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    cmdSelect->setAutoDefault(false);
    cmdClose = new QPushButton(QStringLiteral("退出(&X)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGridEh2);
    layout->addLayout(buttons);
    setFixedSize(300, 400);

    connect(cmdSelect, &QPushButton::clicked, this, &TfrmPropertySelect::cmdSelectClick);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(DBGridEh2, &QTableView::doubleClicked, this, &TfrmPropertySelect::cmdSelectClick);
    DBGridEh2->setFocus();
}

bool TfrmPropertySelect::ReadyData() {
    return mPicker.ReadyData();
}

void TfrmPropertySelect::cmdSelectClick() {
    if (mPicker.cmdSelectClick())
        accept();
}

bool TfrmPropertySelect::eventFilter(QObject *watched, QEvent *event) {
    if (watched == DBGridEh2 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdSelectClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool SelectIndicator(const QString &categoryCode, QString *name, QWidget *parent) {
    if (name)
        name->clear();
    TfrmPropertySelect dialog(categoryCode, parent);
    if (!dialog.ReadyData())
        return false;
    dialog.exec();
    if (dialog.picker().cancelled())
        return false;
    if (name)
        *name = dialog.picker().chosenName();
    return true;
}
