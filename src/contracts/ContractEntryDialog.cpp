#include "contracts/ContractEntryDialog.h"

#include "platform/Clock.h"
#include "platform/Messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {
constexpr int RowHeight = 19;
}

ContractEntryDialog::ContractEntryDialog(int contractId, const QString &typeCode, QWidget *parent)
    : QDialog(parent)
    , mEntry(contractId, typeCode) {
    FormCreate();
}

void ContractEntryDialog::FormCreate() {
    setObjectName(QStringLiteral("ContractEntryDialog"));
    setWindowTitle(QStringLiteral("合同关键数据编辑"));

    Grid = new QTableView(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setModel(&mEntry.grid());
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    Grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    Grid->horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < ContractEntryGrid::ColumnCount; ++c)
        Grid->setColumnHidden(c, !ContractEntryGrid::isShownColumn(c));
    Grid->setColumnWidth(ContractEntryGrid::ColName, 133);
    Grid->setColumnWidth(ContractEntryGrid::ColType, 127);
    Grid->setColumnWidth(ContractEntryGrid::ColValue, 431);
    Grid->setColumnWidth(ContractEntryGrid::ColUnit, 49);

    EditCell = new QLineEdit(Grid->viewport());
    EditCell->setObjectName(QStringLiteral("EditCell"));
    cmbCell = new QComboBox(Grid->viewport());
    cmbCell->setObjectName(QStringLiteral("cmbCell"));
    cmbCell->setEditable(true);
    cmbCell->setInsertPolicy(QComboBox::NoInsert);
    dtDate = new QDateTimeEdit(Grid->viewport());
    dtDate->setObjectName(QStringLiteral("dtDate"));
    dtDate->setCalendarPopup(true);
    for (QWidget *editor : {static_cast<QWidget *>(EditCell), static_cast<QWidget *>(cmbCell),
                            static_cast<QWidget *>(dtDate), static_cast<QWidget *>(cmbCell->lineEdit())}) {
        editor->installEventFilter(this);
        editor->hide();
    }
    cmbCell->lineEdit()->show();
    // A click into the picker's text reaches its inner edit, not the picker.
    if (auto *dateText = dtDate->findChild<QLineEdit *>())
        dateText->installEventFilter(this);
    connect(dtDate, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (mDateUnreadable && !mLoadingEditor)
            unreadableDateTouched();
    });

    cmdSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdCancel = new QPushButton(QStringLiteral("关闭(&X)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter belongs to the editors: it moves to the next row and never presses a button.
    cmdSave->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Grid);
    layout->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, &ContractEntryDialog::cmdSaveClick);
    connect(cmdCancel, &QPushButton::clicked, this, &ContractEntryDialog::cmdCancelClick);
    connect(Grid, &QTableView::clicked, this, &ContractEntryDialog::GridClick);
    connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ContractEntryDialog::GridClick);
    // Scrolling moves the editor with its row.
    connect(Grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &ContractEntryDialog::placeEditors);

    const int width = 133 + 127 + 431 + 49 + 2 * Grid->frameWidth() + 24;
    setFixedSize(width + 24, 420);
}

bool ContractEntryDialog::ReadyData() {
    if (!mEntry.ReadyData())
        return false;
    setCurrentRow(0);
    return true;
}

int ContractEntryDialog::currentRow() const {
    return Grid->currentIndex().isValid() ? Grid->currentIndex().row() : -1;
}

void ContractEntryDialog::setCurrentRow(int row) {
    if (row == currentRow())
        GridClick();
    else
        Grid->setCurrentIndex(mEntry.grid().index(row, ContractEntryGrid::ColName));
}

QWidget *ContractEntryDialog::visibleEditor() const {
    for (QWidget *w :
         {static_cast<QWidget *>(EditCell), static_cast<QWidget *>(cmbCell), static_cast<QWidget *>(dtDate)}) {
        if (!w->isHidden())
            return w;
    }
    return nullptr;
}

void ContractEntryDialog::placeEditors() {
    const int row = mEditorRow >= 0 ? mEditorRow : currentRow();
    if (row < 0)
        return;
    const QRect cell = Grid->visualRect(mEntry.grid().index(row, ContractEntryGrid::ColValue));
    for (QWidget *w :
         {static_cast<QWidget *>(EditCell), static_cast<QWidget *>(cmbCell), static_cast<QWidget *>(dtDate)})
        w->setGeometry(cell.x(), cell.y(), cell.width(), std::max(cell.height(), RowHeight) + 1);
}

void ContractEntryDialog::GridClick() {
    const int row = currentRow();
    // The program moved the row under an editor that still has the focus: its value goes to its own row first.
    // Then the focus leaves it before it is hidden, so that no late leaving writes it into the new row.
    const QWidget *focus = QApplication::focusWidget();
    if (QWidget *old = visibleEditor(); old && focus && (focus == old || old->isAncestorOf(focus))) {
        commitEditor();
        mEditorRow = -1;
        Grid->setFocus(Qt::OtherFocusReason);
    }
    mEditorRow = -1;
    EditCell->hide();
    cmbCell->hide();
    dtDate->hide();
    if (row < 0)
        return;
    const ContractEntryGrid &grid = mEntry.grid();
    const QString value = grid.value(row);
    mEditorKind = mEntry.editorFor(row);
    mDateUnreadable = false;
    mLoadingEditor = true;
    QWidget *editor = nullptr;
    switch (mEditorKind) {
    case ContractEntry::Editor::Number:
        EditCell->setInputMask(mEntry.inputMaskFor(row));
        EditCell->setText(value);
        editor = EditCell;
        break;
    case ContractEntry::Editor::Text:
        EditCell->setInputMask(QString());
        EditCell->setText(value);
        editor = EditCell;
        break;
    case ContractEntry::Editor::Combo: {
        QStringList items;
        if (mEntry.offersHistory(row)) {
            for (int i = 0; i < cmbCell->count(); ++i)
                items.append(cmbCell->itemText(i));
            mEntry.fillHistory(row, items);
        } else {
            items = mEntry.defaultItems(row);
        }
        cmbCell->clear();
        cmbCell->addItems(items);
        cmbCell->setEditText(value);
        editor = cmbCell;
        break;
    }
    case ContractEntry::Editor::Date:
        dtDate->setSpecialValueText(QString());
        dtDate->setDisplayFormat(mEntry.pickerFormatFor(row));
        if (value.isEmpty()) {
            dtDate->setDateTime(Clock::instance().now());
        } else if (const std::optional<QDateTime> stored = mEntry.storedDate(row)) {
            dtDate->setDateTime(*stored);
        } else {
            // Shown as it is stored, never as some other row's date.
            mDateUnreadable = true;
            dtDate->setSpecialValueText(value);
            dtDate->setDateTime(dtDate->minimumDateTime());
        }
        editor = dtDate;
        break;
    case ContractEntry::Editor::None:
        mLoadingEditor = false;
        return;
    }
    mLoadingEditor = false;
    mEditorStartText = editor == EditCell ? EditCell->text() : cmbCell->currentText();
    mEditorStartDate = dtDate->dateTime();
    mEditorRow = row;
    placeEditors();
    editor->show();
    editor->raise();
    if (isVisible())
        editor->setFocus(Qt::OtherFocusReason);
    if (editor == EditCell)
        EditCell->selectAll();
    else if (editor == cmbCell)
        cmbCell->lineEdit()->selectAll();
}

void ContractEntryDialog::commitEditor() {
    const int row = mEditorRow;
    if (row < 0 || !visibleEditor())
        return;
    switch (mEditorKind) {
    case ContractEntry::Editor::Number:
        if (mEntry.commitsOnLeaving(row, EditCell->text() != mEditorStartText))
            mEntry.commitNumber(row, EditCell->text());
        break;
    case ContractEntry::Editor::Text:
        if (mEntry.commitsOnLeaving(row, EditCell->text() != mEditorStartText))
            mEntry.commitText(row, EditCell->text());
        break;
    case ContractEntry::Editor::Combo:
        if (mEntry.commitsOnLeaving(row, cmbCell->currentText() != mEditorStartText))
            mEntry.commitText(row, cmbCell->currentText());
        break;
    case ContractEntry::Editor::Date:
        if (!mDateUnreadable && mEntry.commitsOnLeaving(row, dtDate->dateTime() != mEditorStartDate))
            mEntry.commitDate(row, dtDate->dateTime());
        break;
    case ContractEntry::Editor::None:
        break;
    }
}

void ContractEntryDialog::enterPressed() {
    const int row = mEditorRow;
    if (row < 0)
        return;
    const int next = mEntry.rowAfterEnter(row);
    if (next < 0)
        return;
    commitEditor();
    // The editor leaves its row now: a late focus change must not write its text anywhere.
    mEditorRow = -1;
    setCurrentRow(next);
}

void ContractEntryDialog::unreadableDateTouched() {
    if (!mDateUnreadable || mEditorRow < 0)
        return;
    mDateUnreadable = false;
    Messages::instance().information(mEntry.unreadableDateMessage(mEditorRow));
    // The user picks from today; leaving without picking keeps the stored text.
    mLoadingEditor = true;
    dtDate->setSpecialValueText(QString());
    dtDate->setDateTime(Clock::instance().now());
    mLoadingEditor = false;
    mEditorStartDate = dtDate->dateTime();
}

bool ContractEntryDialog::eventFilter(QObject *watched, QEvent *event) {
    if (mDateUnreadable && (watched == dtDate || watched->parent() == dtDate)) {
        bool touches = false;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            static const int passing[] = {Qt::Key_Return, Qt::Key_Enter,   Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Escape,
                                          Qt::Key_Shift,  Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta};
            touches = std::find(std::begin(passing), std::end(passing), key) == std::end(passing);
        } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick ||
                   event->type() == QEvent::Wheel) {
            touches = true;
        }
        if (touches) {
            unreadableDateTouched();
            return true;
        }
    }
    const bool ours = watched == EditCell || watched == cmbCell || watched == dtDate || watched == cmbCell->lineEdit();
    if (ours && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!(watched == cmbCell && cmbCell->view()->isVisible())) {
                enterPressed();
                return true;
            }
        }
    }
    if (ours && watched != cmbCell->lineEdit() && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A popup of the editor itself or another window taking the focus (a message box) is no leaving.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            const QWidget *to = QApplication::focusWidget();
            const bool inside = to && (to == cmbCell->lineEdit() || static_cast<QWidget *>(watched)->isAncestorOf(to));
            // Only the editor of the row commits; an editor hidden a moment ago may report its leaving late.
            if (!inside && watched == visibleEditor())
                commitEditor();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ContractEntryDialog::changeEvent(QEvent *event) {
    QDialog::changeEvent(event);
    // Back from a message box: the editor of the current row gets the focus again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (QWidget *editor = visibleEditor())
            editor->setFocus(Qt::OtherFocusReason);
        else
            GridClick();
    }
}

void ContractEntryDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    GridClick();
}

void ContractEntryDialog::cmdSaveClick() {
    // A value typed just before Alt+S has not left its editor yet; a click on the button has committed it.
    const QWidget *focus = QApplication::focusWidget();
    if (QWidget *editor = visibleEditor(); editor && focus && (focus == editor || editor->isAncestorOf(focus)))
        commitEditor();
    bool saved = false;
    const int missing = mEntry.cmdSaveClick(&saved);
    if (missing >= 0) {
        setCurrentRow(missing);
        return;
    }
    if (saved)
        accept();
    else
        // The values may have been read again from the store (changed by another user): the editor shows them.
        GridClick();
}

void ContractEntryDialog::cmdCancelClick() {
    reject();
}

bool editContract(int id, const QString &typeCode, QWidget *parent) {
    ContractEntryDialog dialog(id, typeCode, parent);
    if (!dialog.ReadyData())
        return false;
    dialog.exec();
    return !dialog.entry().Cancelled;
}
