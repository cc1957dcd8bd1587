#include "catalogue/IndicatorEditorDialog.h"

#include "catalogue/IndicatorSelectDialog.h"
#include "platform/Clipboard.h"
#include "platform/DialogButtonRow.h"
#include "platform/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QComboBox *fixedList(QWidget *parent, const char *name, const QStringList &items) {
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    return combo;
}

QComboBox *suggestions(QWidget *parent, const char *name, const QStringList &items) {
    auto *combo = fixedList(parent, name, items);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

} // namespace

IndicatorEditorDialog::IndicatorEditorDialog(Database &database, const QString &tableName, const QString &categoryCode,
                                             int indicatorId, QWidget *parent)
    : QDialog(parent)
    , mDatabase(database)
    , mEditor(database, tableName, categoryCode, indicatorId) {
    setObjectName(QStringLiteral("IndicatorEditorDialog"));
    setWindowTitle(QStringLiteral("新增/修改扩展参数指标"));

    createFields();
    QGridLayout *grid = layOutFields();

    auto *buttons = new DialogButtonRow(this);
    cmdSave = buttons->add("cmdSave", QStringLiteral("保存(&S)"), DialogButtonRow::Enter::Never);
    cmdCancel = buttons->addCancel("cmdCancel", QStringLiteral("关闭(&X)"), DialogButtonRow::Enter::Never);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    createFormulaMenu();
    connectControls();
    // Enter moves on like Tab, wherever the focus is in this window.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);

    resetControls();
}

void IndicatorEditorDialog::createFields() {
    EditFieldName = new QLineEdit(this);
    EditFieldName->setObjectName(QStringLiteral("EditFieldName"));
    cmbFieldType =
        fixedList(this, "cmbFieldType", {QStringLiteral("文本"), QStringLiteral("数字"), QStringLiteral("日期")});
    EditFormatStr =
        suggestions(this, "EditFormatStr",
                    {QStringLiteral("99999999999.9999"), QStringLiteral("99999999999.99"), QStringLiteral("yyyy-MM-dd"),
                     QStringLiteral("yyyy年MM月dd日"), QStringLiteral("MM/dd/yyyy")});
    cmbUnit =
        suggestions(this, "cmbUnit",
                    {QStringLiteral("亩"), QStringLiteral("㎡"), QStringLiteral("平方米"), QStringLiteral("K㎡"),
                     QStringLiteral("平方公里"), QStringLiteral("万吨"), QStringLiteral("万方"), QStringLiteral("吨"),
                     QStringLiteral("方"), QStringLiteral("件"), QStringLiteral("㎏"), QStringLiteral("公斤"),
                     QStringLiteral("桶"), QStringLiteral("升"), QStringLiteral("套"), QStringLiteral("对")});
    EditDefaultSelect = new QLineEdit(this);
    EditDefaultSelect->setObjectName(QStringLiteral("EditDefaultSelect"));
    cmbHisSelect = fixedList(this, "cmbHisSelect", {QStringLiteral("不支持"), QStringLiteral("支持")});
    EditCalcStr = new QLineEdit(this);
    EditCalcStr->setObjectName(QStringLiteral("EditCalcStr"));
    formulaButton = new QToolButton(this);
    formulaButton->setObjectName(QStringLiteral("formulaButton"));
    formulaButton->setText(QStringLiteral("…"));
    formulaButton->setFocusPolicy(Qt::NoFocus);
    cmbNoNull = fixedList(this, "cmbNoNull", {QStringLiteral("否"), QStringLiteral("是")});
    cmbSortField = fixedList(this, "cmbSortField", {QStringLiteral("否"), QStringLiteral("是")});
    dueRemindCheck = new QCheckBox(QStringLiteral("到期提醒"), this);
    dueRemindCheck->setObjectName(QStringLiteral("dueRemindCheck"));
    dueDaysSpin = new QSpinBox(this);
    dueDaysSpin->setObjectName(QStringLiteral("dueDaysSpin"));
    dueDaysSpin->setRange(0, IndicatorEditor::MaxDueDays);
    dueDaysSpin->setSuffix(QStringLiteral(" 天"));
}

QGridLayout *IndicatorEditorDialog::layOutFields() {
    auto *grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString &label, QWidget *field, QWidget *beside = nullptr) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(field, row, 1);
        if (beside)
            grid->addWidget(beside, row, 2);
        ++row;
    };
    addRow(QStringLiteral("指标名称"), EditFieldName);
    addRow(QStringLiteral("指标类型"), cmbFieldType);
    addRow(QStringLiteral("格    式"), EditFormatStr);
    addRow(QStringLiteral("单    位"), cmbUnit);
    addRow(QStringLiteral("默认选择"), EditDefaultSelect, new QLabel(QStringLiteral("用;分隔"), this));
    addRow(QStringLiteral("历史选择"), cmbHisSelect);
    addRow(QStringLiteral("计算公式"), EditCalcStr, formulaButton);
    addRow(QStringLiteral("必须填写"), cmbNoNull);
    addRow(QStringLiteral("排序字段"), cmbSortField);
    {
        auto *due = new QWidget(this);
        auto *dueRow = new QHBoxLayout(due);
        dueRow->setContentsMargins(0, 0, 0, 0);
        dueRow->addWidget(dueRemindCheck);
        dueRow->addSpacing(12);
        dueRow->addWidget(new QLabel(QStringLiteral("提前天数"), this));
        dueRow->addWidget(dueDaysSpin);
        dueRow->addStretch(1);
        addRow(QStringLiteral("提    醒"), due);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(1, 260);
    return grid;
}

void IndicatorEditorDialog::createFormulaMenu() {
    formulaMenu = new QMenu(this);
    formulaMenu->setObjectName(QStringLiteral("formulaMenu"));
    auto addItem = [&](const char *name, const QString &caption, void (IndicatorEditorDialog::*slot)()) {
        QAction *action = formulaMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    addItem("moneyToCapitalAction", QStringLiteral("MONEY_STOB 人民币小写转大写"),
            &IndicatorEditorDialog::insertMoneyToCapital);
    addItem("moneyWanToCapitalAction", QStringLiteral("MONEY_STOB_W 人民币小写转大写（以万为单位）"),
            &IndicatorEditorDialog::insertMoneyWanToCapital);
    addItem("dateToChineseAction", QStringLiteral("DATE_STOB日期小写转大写"),
            &IndicatorEditorDialog::insertDateToChinese);
    addItem("numberingAction", QStringLiteral("GETBILLID自动合同编号()"), &IndicatorEditorDialog::insertNumbering);
    formulaMenu->addSeparator()->setObjectName(QStringLiteral("formulaMenuSeparator"));
    addItem("existingIndicatorAction", QStringLiteral("选择已存在参数"),
            &IndicatorEditorDialog::insertExistingIndicator);
}

void IndicatorEditorDialog::connectControls() {
    connect(formulaButton, &QToolButton::pressed, this, [this]() {
        formulaMenu->popup(QCursor::pos());
        formulaButton->setDown(false);
    });
    // Only a pick by the user suggests a format; loading an indicator does not.
    connect(cmbFieldType, &QComboBox::activated, this, &IndicatorEditorDialog::suggestFormat);
    connect(cmdSave, &QPushButton::clicked, this, &IndicatorEditorDialog::saveAndClose);
    connect(cmbFieldType, &QComboBox::currentIndexChanged, this, &IndicatorEditorDialog::enableDueControls);
    connect(dueRemindCheck, &QCheckBox::toggled, this, &IndicatorEditorDialog::enableDueControls);
}

void IndicatorEditorDialog::resetControls() {
    cmbFieldType->setCurrentIndex(0);
    cmbHisSelect->setCurrentIndex(0);
    cmbNoNull->setCurrentIndex(0);
    cmbSortField->setCurrentIndex(0);
    EditFormatStr->setCurrentText(QString());
    cmbUnit->setCurrentText(QString());
    dueRemindCheck->setChecked(false);
    dueDaysSpin->setValue(Indicator().DueDays);
    enableDueControls();
}

void IndicatorEditorDialog::enableDueControls() {
    const bool date = cmbFieldType->currentIndex() == Indicator::Date;
    dueRemindCheck->setEnabled(date);
    dueDaysSpin->setEnabled(date && dueRemindCheck->isChecked());
}

bool IndicatorEditorDialog::load() {
    if (!mEditor.load())
        return false;
    if (mEditor.isNew())
        return true;
    const Indicator &v = mEditor.values();
    EditFieldName->setText(v.PropertyName);
    cmbFieldType->setCurrentIndex(qBound(0, v.PropertyType, 2));
    EditFormatStr->setCurrentText(v.FormatStr);
    cmbUnit->setCurrentText(v.Unit);
    EditDefaultSelect->setText(v.DefaultSelect);
    cmbHisSelect->setCurrentIndex(qBound(0, v.HisSelect, 1));
    EditCalcStr->setText(v.CalcStr);
    cmbNoNull->setCurrentIndex(qBound(0, v.NoNull, 1));
    cmbSortField->setCurrentIndex(qBound(0, v.IsSortField, 1));
    dueRemindCheck->setChecked(v.DueRemind == 1);
    dueDaysSpin->setValue(v.DueDays);
    enableDueControls();
    return true;
}

void IndicatorEditorDialog::copyControlsToValues() {
    Indicator &v = mEditor.values();
    v.PropertyName = EditFieldName->text();
    v.PropertyType = cmbFieldType->currentIndex();
    v.FormatStr = EditFormatStr->currentText();
    v.Unit = cmbUnit->currentText();
    v.DefaultSelect = EditDefaultSelect->text();
    v.HisSelect = cmbHisSelect->currentIndex();
    v.CalcStr = EditCalcStr->text();
    v.NoNull = cmbNoNull->currentIndex();
    v.IsSortField = cmbSortField->currentIndex();
    v.DueRemind = dueRemindCheck->isChecked() ? 1 : 0;
    v.DueDays = dueDaysSpin->value();
}

bool IndicatorEditorDialog::save() {
    copyControlsToValues();
    bool nameRejected = false;
    bool formulaRejected = false;
    if (mEditor.save(&nameRejected, &formulaRejected))
        return true;
    if (nameRejected)
        EditFieldName->setFocus();
    else if (formulaRejected)
        EditCalcStr->setFocus();
    return false;
}

QString IndicatorEditorDialog::fieldName() const {
    return EditFieldName->text();
}

void IndicatorEditorDialog::saveAndClose() {
    if (save())
        accept();
}

void IndicatorEditorDialog::suggestFormat() {
    const QString format = IndicatorEditor::formatForType(cmbFieldType->currentIndex(), EditFormatStr->currentText());
    if (format == EditFormatStr->currentText())
        return;
    const int suggestion = EditFormatStr->findText(format);
    if (suggestion >= 0)
        EditFormatStr->setCurrentIndex(suggestion);
    else
        EditFormatStr->setCurrentText(format);
}

void IndicatorEditorDialog::insertFormulaText(const QString &text, bool atStart) {
    Clipboard::instance().setText(text);
    if (atStart) {
        EditCalcStr->deselect();
        EditCalcStr->setCursorPosition(0);
    }
    EditCalcStr->insert(Clipboard::instance().text());
}

void IndicatorEditorDialog::insertMoneyToCapital() {
    insertFormulaText(IndicatorEditor::formulaText(IndicatorEditor::FormulaItem::MoneyStob), true);
}

void IndicatorEditorDialog::insertMoneyWanToCapital() {
    insertFormulaText(IndicatorEditor::formulaText(IndicatorEditor::FormulaItem::MoneyStobW), true);
}

void IndicatorEditorDialog::insertDateToChinese() {
    insertFormulaText(IndicatorEditor::formulaText(IndicatorEditor::FormulaItem::DateStob), true);
}

void IndicatorEditorDialog::insertNumbering() {
    insertFormulaText(IndicatorEditor::formulaText(IndicatorEditor::FormulaItem::GetBillId), true);
    Messages::instance().information(IndicatorEditor::numberingHint());
}

void IndicatorEditorDialog::insertExistingIndicator() {
    QString name;
    if (!SelectIndicator(mDatabase, mEditor.categoryCode(), &name, this) || name.isEmpty())
        return;
    insertFormulaText(QLatin1Char('[') + name + QLatin1Char(']'), false);
}

bool IndicatorEditorDialog::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        // Drop-down lists are windows of their own: Enter there still picks the item.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && widget && widget->window() == this) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool EditIndicator(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId,
                   QWidget *parent) {
    IndicatorEditorDialog dialog(database, tableName, categoryCode, indicatorId, parent);
    if (!dialog.load())
        return false;
    dialog.exec();
    return !dialog.cancelled();
}

QString EditIndicatorName(Database &database, const QString &tableName, const QString &categoryCode, int indicatorId,
                          QWidget *parent) {
    IndicatorEditorDialog dialog(database, tableName, categoryCode, indicatorId, parent);
    if (!dialog.load())
        return {};
    dialog.exec();
    return dialog.cancelled() ? QString() : dialog.fieldName();
}
