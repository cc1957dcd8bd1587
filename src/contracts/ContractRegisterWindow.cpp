#include "contracts/ContractRegisterWindow.h"

#include "catalogue/CategoryTreeView.h"
#include "catalogue/MdiChild.h"
#include "contracts/ChangeHistoryWindow.h"
#include "contracts/ContractEntryDialog.h"
#include "contracts/MultiRowHeaderView.h"
#include "platform/Messages.h"
#include "store/CategoryStore.h"
#include "store/Database.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString Caption = QStringLiteral("合同生成与维护");
constexpr int IdColumnWidth = 35;

QPushButton *makeButton(const QString &name, const QString &text, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

ContractRegisterWindow::ContractRegisterWindow(Database &database, ContractRegisterServices services, QWidget *parent)
    : QWidget(parent)
    , mDb(database)
    , mServices(std::move(services))
    , mTreeModel(this)
    , mRegister(database, this) {
    if (!mServices.complete())
        qFatal("ContractRegisterWindow: a service of the register was not given");
    buildWidgets();
}

void ContractRegisterWindow::buildWidgets() {
    setObjectName(QStringLiteral("ContractRegisterWindow"));
    setWindowTitle(Caption);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(buildTree());
    split->addWidget(buildRecordList());
    split->setStretchFactor(1, 1);
    split->setSizes({220, 800});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);
    layout->addLayout(buildButtons());

    connectCommands();
}

QWidget *ContractRegisterWindow::buildTree() {
    auto *treeBox = new QGroupBox(QStringLiteral("合同文挡类别名称"), this);
    mTree = new CategoryTreeView(treeBox);
    mTree->setObjectName(QStringLiteral("Tree"));
    mTree->setCategoryModel(&mTreeModel);
    (new QVBoxLayout(treeBox))->addWidget(mTree);

    return treeBox;
}

QWidget *ContractRegisterWindow::buildRecordList() {
    mRecordBox = new QGroupBox(QStringLiteral("分类XX下的合同列表"), this);
    mRecordBox->setObjectName(QStringLiteral("recordBox"));
    mFilterIndicator = new QComboBox(mRecordBox);
    mFilterIndicator->setObjectName(QStringLiteral("cmbPropertyName"));
    mFilterIndicator->setMinimumWidth(140);
    mFilterValue = new QComboBox(mRecordBox);
    mFilterValue->setObjectName(QStringLiteral("cmbValue"));
    mFilterValue->setEditable(true);
    mFilterValue->setInsertPolicy(QComboBox::NoInsert);
    mFilterValue->setMinimumWidth(200);
    mFilterButton = makeButton(QStringLiteral("filterButton"), QStringLiteral("过滤(&F)"), mRecordBox);
    auto *filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("查询指标"), mRecordBox));
    filter->addWidget(mFilterIndicator);
    filter->addWidget(new QLabel(QStringLiteral("包含"), mRecordBox));
    filter->addWidget(mFilterValue);
    filter->addWidget(mFilterButton);
    filter->addStretch();

    mRecordGrid = new QTableView(mRecordBox);
    mRecordGrid->setObjectName(QStringLiteral("recordGrid"));
    mHeader = new MultiRowHeaderView(mRecordGrid);
    mHeader->setObjectName(QStringLiteral("recordGridHeader"));
    mRecordGrid->setHorizontalHeader(mHeader);
    // A large category shows its first screen of records while the rest is read.
    mRegister.setReadInBackground(true);
    mRecordGrid->setModel(mRegister.records());
    mRecordGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several records (Ctrl and Shift click, Ctrl+A) for "批量生成合同文档"; the other commands take the current one.
    mRecordGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    mRecordGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mRecordGrid->verticalHeader()->setDefaultSectionSize(mRecordGrid->fontMetrics().height() + 6);
    mRecordGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    mHeader->setSectionResizeMode(QHeaderView::Interactive);
    mRecordGrid->setColumnWidth(0, IdColumnWidth);
    mRecordGrid->installEventFilter(this);
    mRecordGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
    mSendToExcelAction = new QAction(QStringLiteral("发送到Excel"), mRecordGrid);
    mSendToExcelAction->setObjectName(QStringLiteral("sendToExcelAction"));
    mRecordGrid->addAction(mSendToExcelAction);
    mHistoryAction = new QAction(QStringLiteral("修改记录"), mRecordGrid);
    mHistoryAction->setObjectName(QStringLiteral("historyAction"));
    mRecordGrid->addAction(mHistoryAction);
    mDueRemindersAction = new QAction(QStringLiteral("到期提醒"), mRecordGrid);
    mDueRemindersAction->setObjectName(QStringLiteral("dueRemindersAction"));
    mRecordGrid->addAction(mDueRemindersAction);
    auto *listLayout = new QVBoxLayout(mRecordBox);
    listLayout->addLayout(filter);
    listLayout->addWidget(mRecordGrid);

    return mRecordBox;
}

QLayout *ContractRegisterWindow::buildButtons() {
    mAddButton = makeButton(QStringLiteral("cmdAppend"), QStringLiteral("添加合同"), this);
    mEditButton = makeButton(QStringLiteral("cmdEdit"), QStringLiteral("修改合同"), this);
    mDeleteButton = makeButton(QStringLiteral("deleteButton"), QStringLiteral("删除合同"), this);
    mCopyButton = makeButton(QStringLiteral("copyButton"), QStringLiteral("复制为新合同"), this);
    mDocumentButton = makeButton(QStringLiteral("documentButton"), QStringLiteral("生成/查看合同文档"), this);
    mBatchButton = makeButton(QStringLiteral("batchGenerateButton"), QStringLiteral("批量生成合同文档"), this);
    mDeleteDocumentButton =
        makeButton(QStringLiteral("deleteDocumentButton"), QStringLiteral("删除已生成合同文档"), this);
    mImportButton = makeButton(QStringLiteral("importButton"), QStringLiteral("Excel导入"), this);
    mPrintButton = makeButton(QStringLiteral("printButton"), QStringLiteral("打印列表"), this);
    mCloseButton = makeButton(QStringLiteral("closeButton"), QStringLiteral("退出"), this);
    auto *bar = new QHBoxLayout;
    for (QPushButton *b : {mAddButton, mEditButton, mDeleteButton, mCopyButton, mDocumentButton, mBatchButton,
                           mDeleteDocumentButton, mImportButton, mPrintButton})
        bar->addWidget(b);
    bar->addStretch();
    bar->addWidget(mCloseButton);

    return bar;
}

void ContractRegisterWindow::connectCommands() {
    connect(mTree, &QTreeView::clicked, this, &ContractRegisterWindow::showCurrentCategory);
    connect(mAddButton, &QPushButton::clicked, this, &ContractRegisterWindow::addContract);
    connect(mEditButton, &QPushButton::clicked, this, &ContractRegisterWindow::editCurrentContract);
    connect(mDeleteButton, &QPushButton::clicked, this, &ContractRegisterWindow::deleteRecord);
    connect(mCopyButton, &QPushButton::clicked, this, &ContractRegisterWindow::copyRecord);
    connect(mDocumentButton, &QPushButton::clicked, this, &ContractRegisterWindow::openDocument);
    connect(mBatchButton, &QPushButton::clicked, this, &ContractRegisterWindow::generateSelectedDocuments);
    connect(mDeleteDocumentButton, &QPushButton::clicked, this, &ContractRegisterWindow::deleteDocument);
    connect(mImportButton, &QPushButton::clicked, this, &ContractRegisterWindow::importRecords);
    connect(mPrintButton, &QPushButton::clicked, this, &ContractRegisterWindow::printList);
    connect(mCloseButton, &QPushButton::clicked, this, &ContractRegisterWindow::closeWindow);
    connect(mSendToExcelAction, &QAction::triggered, this, &ContractRegisterWindow::sendToExcel);
    connect(mHistoryAction, &QAction::triggered, this, &ContractRegisterWindow::showHistory);
    connect(mDueRemindersAction, &QAction::triggered, this, [this] {
        auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
        if (sub && sub->mdiArea())
            mServices.openDueReminders(sub->mdiArea());
    });
    connect(mRecordGrid, &QTableView::doubleClicked, this, &ContractRegisterWindow::openDocument);
    connect(mFilterIndicator, &QComboBox::activated, this, &ContractRegisterWindow::fillFilterValues);
    connect(mFilterButton, &QPushButton::clicked, this, &ContractRegisterWindow::applyFilter);
    connect(mFilterValue, &QComboBox::activated, this, &ContractRegisterWindow::applyFilter);
    connect(mFilterValue->lineEdit(), &QLineEdit::returnPressed, this, &ContractRegisterWindow::applyFilter);
    connect(mHeader, &QHeaderView::sectionResized, this, &ContractRegisterWindow::columnWidthsChanged);
    mHeader->viewport()->installEventFilter(this);
    mWidthTimer = new QTimer(this);
    mWidthTimer->setSingleShot(true);
    mWidthTimer->setInterval(500);
    connect(mWidthTimer, &QTimer::timeout, this, &ContractRegisterWindow::storePendingWidths);
}

bool ContractRegisterWindow::load() {
    if (!mTreeModel.load(CategoryStore(mDb))) {
        Messages::instance().warning(mDb.failureText(QStringLiteral("读取数据发生错误！")));
        return false;
    }
    const QModelIndex first = mTreeModel.firstNode();
    if (first.isValid()) {
        mTree->setCurrentIndex(first);
        showCurrentCategory();
    }
    return true;
}

void ContractRegisterWindow::showCurrentCategory() {
    const QModelIndex node = mTree->currentIndex();
    if (!node.isValid() || !mTreeModel.isChild(node))
        return;
    // Widths still waiting belong to the category shown until now.
    storePendingWidths();
    mRegister.setCurrentCategory(mTreeModel.goodsClass(node).TypeCode);
    mRecordBox->setTitle(QStringLiteral("合同分类 [") + mTreeModel.caption(node) + QStringLiteral("] 的合同内容："));
    loadRecords();
}

bool ContractRegisterWindow::loadRecords() {
    // Widths still waiting belong to the columns about to be replaced (of the same category: showCurrentCategory has
    // stored them before it changed the category).
    storePendingWidths();
    mFilterIndicator->clear();
    // Widths set while the columns are built are the program's own: nothing is stored.
    mRecordGrid->setEnabled(false);
    const bool opened = mRegister.loadRecords();
    const QList<Indicator> &indicators = mRegister.indicators();
    if (mRegister.records()->columnCount() == indicators.size() + 1) {
        mRecordGrid->setColumnWidth(0, IdColumnWidth);
        for (int i = 0; i < indicators.size(); ++i)
            mRecordGrid->setColumnWidth(i + 1, indicators.at(i).ColWidth);
    }
    mRecordGrid->setEnabled(true);
    for (const Indicator &i : indicators)
        mFilterIndicator->addItem(i.PropertyName);
    mFilterIndicator->setCurrentIndex(-1);
    mHeader->updateGeometry();
    mHeader->viewport()->update();
    return opened;
}

void ContractRegisterWindow::columnWidthsChanged() {
    if (!mRecordGrid->isEnabled() || mRegister.isBuilding())
        return;
    mWidthsPending = true;
    if (mHeaderPressed)
        mWidthTimer->start();
    else
        storePendingWidths();
}

void ContractRegisterWindow::storePendingWidths() {
    mWidthTimer->stop();
    if (!mWidthsPending)
        return;
    mWidthsPending = false;
    const QList<ContractRecordModel::Column> &columns = mRegister.records()->columns();
    QList<QPair<QString, int>> widths;
    for (int c = 1; c < columns.size(); ++c) {
        if (!mRecordGrid->isColumnHidden(c))
            widths.append({columns.at(c).field, mRecordGrid->columnWidth(c)});
    }
    mRegister.storeWidths(widths);
}

int ContractRegisterWindow::currentRecord() const {
    const int count = mRegister.records()->recordCount();
    if (count == 0)
        return -1;
    const QModelIndex at = mRecordGrid->currentIndex();
    return at.isValid() && at.row() < count ? at.row() : 0;
}

void ContractRegisterWindow::rebuildAfterChange() {
    if (!mRegister.currentCategory().isEmpty())
        loadRecords();
}

void ContractRegisterWindow::addContract() {
    if (editContract(mDb, -1, mRegister.currentCategory(), this))
        rebuildAfterChange();
}

void ContractRegisterWindow::editCurrentContract() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可用于编辑的合同数据记录！"));
        return;
    }
    if (editContract(mDb, int(mRegister.records()->recordId(row)), mRegister.currentCategory(), this))
        rebuildAfterChange();
}

void ContractRegisterWindow::deleteRecord() {
    mRegister.deleteRecord(currentRecord());
}

void ContractRegisterWindow::copyRecord() {
    if (mRegister.copyRecord(currentRecord()) && mRegister.records()->recordCount() > 0)
        mRecordGrid->setCurrentIndex(mRegister.records()->index(0, 0));
}

void ContractRegisterWindow::openDocument() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可用于生成或查看的合同数据记录！"));
        return;
    }
    const qint64 id = mRegister.records()->recordId(row);
    mServices.editDocument(mRegister.currentCategory(), mRegister.documentPath(id), int(id));
}

void ContractRegisterWindow::generateSelectedDocuments() {
    ContractRecordModel *records = mRegister.records();
    // "All records of the list" means all of them, also while the last are still being read.
    records->finishLoading();
    if (records->recordCount() == 0) {
        Messages::instance().information(QStringLiteral("没有可用于生成或查看的合同数据记录！"));
        return;
    }
    QList<int> rows;
    for (const QModelIndex &index : mRecordGrid->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty()) {
        if (!Messages::instance().question(
                QStringLiteral("没有选定合同记录，是否为列表中的全部 %1 份合同生成合同文档？")
                    .arg(records->recordCount())))
            return;
        for (int row = 0; row < records->recordCount(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    QList<int> ids;
    for (int row : std::as_const(rows))
        ids << int(records->recordId(row));
    mServices.generateDocuments(ids, this);
}

void ContractRegisterWindow::deleteDocument() {
    mRegister.deleteDocument(currentRecord());
}

void ContractRegisterWindow::importRecords() {
    const QModelIndex node = mTree->currentIndex();
    if (!node.isValid() || !mTreeModel.isChild(node)) {
        Messages::instance().information(QStringLiteral("请首先选择一个合同数据分类！"));
        return;
    }
    mServices.loadIn(mRegister.currentCategory());
    rebuildAfterChange();
}

void ContractRegisterWindow::printList() {
    mRegister.records()->finishLoading();
    mServices.previewGrid(Caption, mRecordGrid);
}

void ContractRegisterWindow::showHistory() {
    const int row = currentRecord();
    if (row < 0) {
        Messages::instance().information(QStringLiteral("没有可查看修改记录的合同数据！"));
        return;
    }
    showRecordHistory(mDb, this, mRegister.records()->recordId(row), mServices.sendGridToExcel);
}

void ContractRegisterWindow::sendToExcel() {
    mRegister.records()->finishLoading();
    mServices.sendGridToExcel(QString(), mRecordGrid);
}

void ContractRegisterWindow::closeWindow() {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void ContractRegisterWindow::fillFilterValues() {
    mFilterValue->clear();
    mFilterValue->addItems(mRegister.filterValues(mFilterIndicator->currentIndex()));
    mFilterValue->setEditText(QString());
}

void ContractRegisterWindow::applyFilter() {
    mRegister.applyFilter(mFilterIndicator->currentIndex(), mFilterValue->currentText());
}

bool ContractRegisterWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mHeader->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            mHeaderPressed = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            mHeaderPressed = false;
            storePendingWidths();
        }
    }
    if (watched == mRecordGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            editCurrentContract();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ContractRegisterWindow::hideEvent(QHideEvent *event) {
    mHeaderPressed = false;
    storePendingWidths();
    QWidget::hideEvent(event);
}

bool openContractRegisterWindow(QMdiArea *area, Database &database, const ContractRegisterServices &services) {
    if (activateOpenChild<ContractRegisterWindow>(area))
        return true;
    auto *window = new ContractRegisterWindow(database, services);
    return showMaximizedChild(area, window, window->load());
}
