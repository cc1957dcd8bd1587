#include "catalogue/IndicatorSelectDialog.h"

#include "platform/DialogButtonRow.h"
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

IndicatorSelectDialog::IndicatorSelectDialog(Database &database, const QString &categoryCode, QWidget *parent)
    : QDialog(parent)
    , mPicker(database, categoryCode) {
    setObjectName(QStringLiteral("IndicatorSelectDialog"));
    setWindowTitle(QStringLiteral("选择可插入的指标"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    indicatorGrid = new QTableView(this);
    indicatorGrid->setObjectName(QStringLiteral("indicatorGrid"));
    indicatorGrid->setModel(mPicker.model());
    indicatorGrid->setSelectionModel(mPicker.selectionModel());
    indicatorGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    indicatorGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    indicatorGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    indicatorGrid->horizontalHeader()->setStretchLastSection(true);
    indicatorGrid->verticalHeader()->hide();
    indicatorGrid->verticalHeader()->setDefaultSectionSize(22);
    indicatorGrid->installEventFilter(this);

    auto *buttons = new DialogButtonRow(this);
    cmdSelect = buttons->add("cmdSelect", QStringLiteral("选中(&S)"), DialogButtonRow::Enter::Never);
    cmdClose = buttons->addCancel("cmdClose", QStringLiteral("退出(&X)"), DialogButtonRow::Enter::Never);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(indicatorGrid);
    layout->addLayout(buttons);
    setFixedSize(300, 400);

    connect(cmdSelect, &QPushButton::clicked, this, &IndicatorSelectDialog::choose);
    connect(indicatorGrid, &QTableView::doubleClicked, this, &IndicatorSelectDialog::choose);
    indicatorGrid->setFocus();
}

bool IndicatorSelectDialog::load() {
    return mPicker.load();
}

void IndicatorSelectDialog::choose() {
    if (mPicker.choose())
        accept();
}

bool IndicatorSelectDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == indicatorGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            choose();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool SelectIndicator(Database &database, const QString &categoryCode, QString *name, QWidget *parent) {
    if (name)
        name->clear();
    IndicatorSelectDialog dialog(database, categoryCode, parent);
    if (!dialog.load())
        return false;
    dialog.exec();
    if (dialog.picker().cancelled())
        return false;
    if (name)
        *name = dialog.picker().chosenName();
    return true;
}
