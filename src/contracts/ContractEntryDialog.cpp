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

ContractEntryDialog::ContractEntryDialog(Database &database, int contractId, const QString &typeCode, QWidget *parent)
    : QDialog(parent)
    , mEntry(database, contractId, typeCode) {
    buildWidgets();
}

void ContractEntryDialog::buildWidgets() {
    setObjectName(QStringLiteral("ContractEntryDialog"));
    setWindowTitle(QStringLiteral("合同关键数据编辑"));

    mValueGrid = new QTableView(this);
    mValueGrid->setObjectName(QStringLiteral("Grid"));
    mValueGrid->setModel(&mEntry.grid());
    mValueGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    mValueGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    mValueGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mValueGrid->verticalHeader()->hide();
    mValueGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    mValueGrid->verticalHeader()->setDefaultSectionSize(RowHeight);
    mValueGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    mValueGrid->horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < ContractEntryGrid::ColumnCount; ++c)
        mValueGrid->setColumnHidden(c, !ContractEntryGrid::isShownColumn(c));
    mValueGrid->setColumnWidth(ContractEntryGrid::ColName, 133);
    mValueGrid->setColumnWidth(ContractEntryGrid::ColType, 127);
    mValueGrid->setColumnWidth(ContractEntryGrid::ColValue, 431);
    mValueGrid->setColumnWidth(ContractEntryGrid::ColUnit, 49);

    mTextEditor = new QLineEdit(mValueGrid->viewport());
    mTextEditor->setObjectName(QStringLiteral("EditCell"));
    mComboEditor = new QComboBox(mValueGrid->viewport());
    mComboEditor->setObjectName(QStringLiteral("cmbCell"));
    mComboEditor->setEditable(true);
    mComboEditor->setInsertPolicy(QComboBox::NoInsert);
    mDateEditor = new QDateTimeEdit(mValueGrid->viewport());
    mDateEditor->setObjectName(QStringLiteral("dtDate"));
    mDateEditor->setCalendarPopup(true);
    for (QWidget *editor : {static_cast<QWidget *>(mTextEditor), static_cast<QWidget *>(mComboEditor),
                            static_cast<QWidget *>(mDateEditor), static_cast<QWidget *>(mComboEditor->lineEdit())}) {
        editor->installEventFilter(this);
        editor->hide();
    }
    mComboEditor->lineEdit()->show();
    // A click into the picker's text reaches its inner edit, not the picker.
    if (auto *dateText = mDateEditor->findChild<QLineEdit *>())
        dateText->installEventFilter(this);
    connect(mDateEditor, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (mDateUnreadable && !mLoadingEditor)
            unreadableDateTouched();
    });

    mSaveButton = new QPushButton(QStringLiteral("保存(&S)"), this);
    mSaveButton->setObjectName(QStringLiteral("cmdSave"));
    mCloseButton = new QPushButton(QStringLiteral("关闭(&X)"), this);
    mCloseButton->setObjectName(QStringLiteral("cmdCancel"));
    // Enter belongs to the editors: it moves to the next row and never presses a button.
    mSaveButton->setAutoDefault(false);
    mCloseButton->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mSaveButton);
    buttons->addWidget(mCloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mValueGrid);
    layout->addLayout(buttons);

    connect(mSaveButton, &QPushButton::clicked, this, &ContractEntryDialog::save);
    connect(mCloseButton, &QPushButton::clicked, this, &ContractEntryDialog::reject);
    connect(mValueGrid, &QTableView::clicked, this, &ContractEntryDialog::showEditorOfCurrentRow);
    connect(mValueGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ContractEntryDialog::showEditorOfCurrentRow);
    // Scrolling moves the editor with its row.
    connect(mValueGrid->verticalScrollBar(), &QScrollBar::valueChanged, this, &ContractEntryDialog::placeEditors);

    const int width = 133 + 127 + 431 + 49 + 2 * mValueGrid->frameWidth() + 24;
    setFixedSize(width + 24, 420);
}

bool ContractEntryDialog::load() {
    if (!mEntry.load())
        return false;
    setCurrentRow(0);
    return true;
}

int ContractEntryDialog::currentRow() const {
    return mValueGrid->currentIndex().isValid() ? mValueGrid->currentIndex().row() : -1;
}

void ContractEntryDialog::setCurrentRow(int row) {
    if (row == currentRow())
        showEditorOfCurrentRow();
    else
        mValueGrid->setCurrentIndex(mEntry.grid().index(row, ContractEntryGrid::ColName));
}

QWidget *ContractEntryDialog::visibleEditor() const {
    for (QWidget *w : {static_cast<QWidget *>(mTextEditor), static_cast<QWidget *>(mComboEditor),
                       static_cast<QWidget *>(mDateEditor)}) {
        if (!w->isHidden())
            return w;
    }
    return nullptr;
}

void ContractEntryDialog::placeEditors() {
    const int row = mEditorRow >= 0 ? mEditorRow : currentRow();
    if (row < 0)
        return;
    const QRect cell = mValueGrid->visualRect(mEntry.grid().index(row, ContractEntryGrid::ColValue));
    for (QWidget *w : {static_cast<QWidget *>(mTextEditor), static_cast<QWidget *>(mComboEditor),
                       static_cast<QWidget *>(mDateEditor)})
        w->setGeometry(cell.x(), cell.y(), cell.width(), std::max(cell.height(), RowHeight) + 1);
}

void ContractEntryDialog::showEditorOfCurrentRow() {
    const int row = currentRow();
    hideEditors();
    if (row < 0)
        return;
    mEditorKind = mEntry.editorFor(row);
    mDateUnreadable = false;
    mLoadingEditor = true;
    QWidget *editor = fillEditor(row);
    mLoadingEditor = false;
    if (editor)
        showEditor(editor, row);
}

void ContractEntryDialog::hideEditors() {
    // The program moved the row under an editor that still has the focus: its value goes to its own row first.
    // Then the focus leaves it before it is hidden, so that no late leaving writes it into the new row.
    const QWidget *focus = QApplication::focusWidget();
    if (QWidget *old = visibleEditor(); old && focus && (focus == old || old->isAncestorOf(focus))) {
        commitEditor();
        mEditorRow = -1;
        mValueGrid->setFocus(Qt::OtherFocusReason);
    }
    mEditorRow = -1;
    mTextEditor->hide();
    mComboEditor->hide();
    mDateEditor->hide();
}

QWidget *ContractEntryDialog::fillEditor(int row) {
    const QString value = mEntry.grid().value(row);
    switch (mEditorKind) {
    case ContractEntry::Editor::Number:
        mTextEditor->setInputMask(mEntry.inputMaskFor(row));
        mTextEditor->setText(value);
        return mTextEditor;
    case ContractEntry::Editor::Text:
        mTextEditor->setInputMask(QString());
        mTextEditor->setText(value);
        return mTextEditor;
    case ContractEntry::Editor::Combo:
        fillComboEditor(row, value);
        return mComboEditor;
    case ContractEntry::Editor::Date:
        fillDateEditor(row, value);
        return mDateEditor;
    case ContractEntry::Editor::None:
        break;
    }
    return nullptr;
}

void ContractEntryDialog::fillComboEditor(int row, const QString &value) {
    QStringList items;
    if (mEntry.offersHistory(row)) {
        for (int i = 0; i < mComboEditor->count(); ++i)
            items.append(mComboEditor->itemText(i));
        mEntry.fillHistory(row, items);
    } else {
        items = mEntry.defaultItems(row);
    }
    mComboEditor->clear();
    mComboEditor->addItems(items);
    mComboEditor->setEditText(value);
}

void ContractEntryDialog::fillDateEditor(int row, const QString &value) {
    mDateEditor->setSpecialValueText(QString());
    mDateEditor->setDisplayFormat(mEntry.pickerFormatFor(row));
    if (value.isEmpty()) {
        mDateEditor->setDateTime(Clock::instance().now());
    } else if (const std::optional<QDateTime> stored = mEntry.storedDate(row)) {
        mDateEditor->setDateTime(*stored);
    } else {
        // Shown as it is stored, never as some other row's date.
        mDateUnreadable = true;
        mDateEditor->setSpecialValueText(value);
        mDateEditor->setDateTime(mDateEditor->minimumDateTime());
    }
}

void ContractEntryDialog::showEditor(QWidget *editor, int row) {
    mEditorStartText = editor == mTextEditor ? mTextEditor->text() : mComboEditor->currentText();
    mEditorStartDate = mDateEditor->dateTime();
    mEditorRow = row;
    placeEditors();
    editor->show();
    editor->raise();
    if (isVisible())
        editor->setFocus(Qt::OtherFocusReason);
    if (editor == mTextEditor)
        mTextEditor->selectAll();
    else if (editor == mComboEditor)
        mComboEditor->lineEdit()->selectAll();
}

void ContractEntryDialog::commitEditor() {
    const int row = mEditorRow;
    if (row < 0 || !visibleEditor())
        return;
    switch (mEditorKind) {
    case ContractEntry::Editor::Number:
        if (mEntry.commitsOnLeaving(row, mTextEditor->text() != mEditorStartText))
            mEntry.commitNumber(row, mTextEditor->text());
        break;
    case ContractEntry::Editor::Text:
        if (mEntry.commitsOnLeaving(row, mTextEditor->text() != mEditorStartText))
            mEntry.commitText(row, mTextEditor->text());
        break;
    case ContractEntry::Editor::Combo:
        if (mEntry.commitsOnLeaving(row, mComboEditor->currentText() != mEditorStartText))
            mEntry.commitText(row, mComboEditor->currentText());
        break;
    case ContractEntry::Editor::Date:
        if (!mDateUnreadable && mEntry.commitsOnLeaving(row, mDateEditor->dateTime() != mEditorStartDate))
            mEntry.commitDate(row, mDateEditor->dateTime());
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
    mDateEditor->setSpecialValueText(QString());
    mDateEditor->setDateTime(Clock::instance().now());
    mLoadingEditor = false;
    mEditorStartDate = mDateEditor->dateTime();
}

bool ContractEntryDialog::eventFilter(QObject *watched, QEvent *event) {
    if (mDateUnreadable && (watched == mDateEditor || watched->parent() == mDateEditor)) {
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
    const bool ours = watched == mTextEditor || watched == mComboEditor || watched == mDateEditor ||
                      watched == mComboEditor->lineEdit();
    if (ours && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (!(watched == mComboEditor && mComboEditor->view()->isVisible())) {
                enterPressed();
                return true;
            }
        }
    }
    if (ours && watched != mComboEditor->lineEdit() && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A popup of the editor itself or another window taking the focus (a message box) is no leaving.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            const QWidget *to = QApplication::focusWidget();
            const bool inside =
                to && (to == mComboEditor->lineEdit() || static_cast<QWidget *>(watched)->isAncestorOf(to));
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
            showEditorOfCurrentRow();
    }
}

void ContractEntryDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    showEditorOfCurrentRow();
}

void ContractEntryDialog::save() {
    // A value typed just before Alt+S has not left its editor yet; a click on the button has committed it.
    const QWidget *focus = QApplication::focusWidget();
    if (QWidget *editor = visibleEditor(); editor && focus && (focus == editor || editor->isAncestorOf(focus)))
        commitEditor();
    bool saved = false;
    const int missing = mEntry.checkAndSave(&saved);
    if (missing >= 0) {
        setCurrentRow(missing);
        return;
    }
    if (saved)
        accept();
    else
        // The values may have been read again from the store (changed by another user): the editor shows them.
        showEditorOfCurrentRow();
}

bool editContract(Database &database, int id, const QString &typeCode, QWidget *parent) {
    ContractEntryDialog dialog(database, id, typeCode, parent);
    if (!dialog.load())
        return false;
    dialog.exec();
    return !dialog.entry().cancelled();
}
