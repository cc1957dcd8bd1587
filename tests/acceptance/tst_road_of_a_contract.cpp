// The road of one contract through the program's own windows and the real office (headless): categories and
// indicators in the template management window, markers inserted by the template editor, a record entered in the
// register's entry dialog, its contract document generated and saved, then a backup, a rebuild of the business data
// and a restore into a second application folder.

#include "acceptance/AcceptanceSupport.h"

#include "app/Composition.h"
#include "app/admin/AdminCommands.h"
#include "app/admin/DatabaseRestore.h"
#include "app/admin/SystemRebuild.h"
#include "catalogue/IndicatorEditorDialog.h"
#include "catalogue/TemplateManagerWindow.h"
#include "contracts/ContractEntryDialog.h"
#include "contracts/ContractRegisterWindow.h"
#include "documents/ui/ContractDocumentWindow.h"
#include "documents/ui/TemplateEditorWindow.h"
#include "office/LibreOfficeWordApp.h"
#include "office/StandInPdfRenderer.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;
using Acceptance::whenModal;

namespace {

const QString Child = u"00010001"_s;

// One indicator as the user types it into the indicator editor.
struct IndicatorInput {
    IndicatorInput(QString name, int type, QString format = {}, QString unit = {}, QString pickList = {},
                   QString formula = {}, bool required = false)
        : name(std::move(name))
        , type(type)
        , format(std::move(format))
        , unit(std::move(unit))
        , pickList(std::move(pickList))
        , formula(std::move(formula))
        , required(required) {}
    QString name;
    int type = 0; // 文本, 数字, 日期
    QString format;
    QString unit;
    QString pickList;
    QString formula;
    bool required = false;
};

QModelIndex findNode(QTreeView *tree, const QString &caption) {
    return tree->model()
        ->match(tree->model()->index(0, 0), Qt::DisplayRole, caption, 1, Qt::MatchExactly | Qt::MatchRecursive)
        .value(0);
}

void clickNode(QTreeView *tree, const QModelIndex &index) {
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
}

template <typename T> T *child(QWidget *parent, const QString &name) {
    T *found = parent->findChild<T *>(name);
    if (!found)
        qWarning() << "no widget" << name;
    return found;
}

// Fills the indicator editor's controls and presses its save button.
void fillIndicatorDialog(IndicatorEditorDialog *dialog, const IndicatorInput &in) {
    auto *type = child<QComboBox>(dialog, u"cmbFieldType"_s);
    QVERIFY(type);
    child<QLineEdit>(dialog, u"EditFieldName"_s)->setText(in.name);
    type->setCurrentIndex(in.type);
    Q_EMIT type->activated(in.type);
    if (!in.format.isEmpty())
        child<QComboBox>(dialog, u"EditFormatStr"_s)->setCurrentText(in.format);
    child<QComboBox>(dialog, u"cmbUnit"_s)->setCurrentText(in.unit);
    child<QLineEdit>(dialog, u"EditDefaultSelect"_s)->setText(in.pickList);
    child<QLineEdit>(dialog, u"EditCalcStr"_s)->setText(in.formula);
    child<QComboBox>(dialog, u"cmbNoNull"_s)->setCurrentIndex(in.required ? 1 : 0);
    QTest::mouseClick(child<QPushButton>(dialog, u"cmdSave"_s), Qt::LeftButton);
    QVERIFY2(!dialog->cancelled(), qPrintable(in.name));
}

} // namespace

class TestRoadOfAContract : public QObject {
    Q_OBJECT

    ScriptedMessages mMessages;
    MemoryClipboard mClipboard;
    FixedClock mClock{QDateTime(QDate(2026, 12, 10), QTime(9, 30))};
    StandInPdfRenderer mRenderer;
    std::unique_ptr<Composition> mComposition;

private Q_SLOTS:
    void initTestCase() {
        Messages::setInstance(&mMessages);
        Clipboard::setInstance(&mClipboard);
        Clock::setInstance(&mClock);
    }

    // The start-up wiring of the program on the database; the template page's picture comes from a stand-in, the
    // editors and the document window use the real office.
    void compose(Database &database) {
        mComposition = std::make_unique<Composition>(database);
        mComposition->documents().pdfRenderer = &mRenderer;
    }

    void roadOfAContract();
};

void TestRoadOfAContract::roadOfAContract() {
    auto app = std::make_unique<TempAppFolder>();
    QVERIFY(app->isValid());
    QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), app->file(u"DB/Empty.Doc"_s)));
    compose(app->database());

    QMdiArea area;
    area.resize(1280, 800);
    area.show();

    // --- Template management window: a root and a child category through its buttons and input boxes.
    QVERIFY(openTemplateManagerWindow(&area, mComposition->database(), mComposition->templateTab()));
    auto *model = qobject_cast<TemplateManagerWindow *>(area.subWindowList().constLast()->widget());
    QVERIFY(model);
    auto *tree = child<QTreeView>(model, u"Tree"_s);
    mMessages.answerInput(u"房屋租赁类"_s);
    QTest::mouseClick(child<QPushButton>(model, u"cmdAddRoot"_s), Qt::LeftButton);
    mMessages.answerInput(u"房屋租赁合同"_s);
    QTest::mouseClick(child<QPushButton>(model, u"addChildButton"_s), Qt::LeftButton);
    const QModelIndex childNode = findNode(tree, u"房屋租赁合同"_s);
    QVERIFY(childNode.isValid());
    QCOMPARE(childNode.parent(), findNode(tree, u"房屋租赁类"_s));
    QCOMPARE(mMessages.unexpected(), 0);
    mMessages.clear();
    clickNode(tree, childNode);
    QCOMPARE(model->currentCode(), Child);

    // --- Indicators of every type and formula, through the indicator editor opened by "添加指标".
    const QList<IndicatorInput> inputs{
        {u"合同编号"_s, 0, {}, {}, {}, u"[GETBILLID]{FZ[YYYY][MM][DD][III]}"_s},
        {u"出租方"_s, 0, {}, {}, {}, {}, true},
        {u"房屋用途"_s, 0, {}, {}, u"住宅;办公;商铺"_s},
        {u"月租金"_s, 1, u"99999999999.99"_s, u"元"_s},
        {u"租期"_s, 1, u"99999999999"_s, u"个月"_s},
        {u"租金总额"_s, 1, u"99999999999.99"_s, u"元"_s, {}, u"[月租金]*[租期]"_s},
        {u"租金大写"_s, 0, {}, {}, {}, u"[MONEY_STOB][租金总额]"_s},
        {u"签订日期"_s, 2, u"yyyy-MM-dd"_s},
        {u"签订日期大写"_s, 0, {}, {}, {}, u"[DATE_STOB][签订日期]"_s},
    };
    child<QTabWidget>(model, u"pages"_s)->setCurrentIndex(1);
    auto *indicatorGrid = child<QTableView>(model, u"indicatorGrid"_s);
    for (const IndicatorInput &in : inputs) {
        bool ran = false;
        whenModal<IndicatorEditorDialog>([&in](IndicatorEditorDialog *d) { fillIndicatorDialog(d, in); }, &ran);
        child<QPushButton>(model, u"cmdAppendProperty"_s)->click();
        QVERIFY(ran);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(indicatorGrid->model()->rowCount(), int(inputs.size()));
    QCOMPARE(app->scalar(u"SELECT group_concat(DataFieldA) FROM (SELECT DataFieldA FROM TDataPara ORDER BY SortIdx)"_s),
             u"Data1,Data2,Data3,Data4,Data5,Data6,Data7,Data8,Data9"_s);

    // --- The template: "编辑模板(&E)" opens the template editor beside the real office; prose is typed in, the
    // markers come from "插入已有指标" and one new indicator from "插入新指标".
    QStringList picks;
    mComposition->documents().selectIndicator = [&picks](const QString &, QString *name) {
        if (picks.isEmpty())
            return false;
        *name = picks.takeFirst();
        return true;
    };
    const QList<QPair<QString, QString>> templatePieces{
        {u"房屋租赁合同  编号："_s, u"合同编号"_s},
        {u"出租方："_s, u"出租方"_s},
        {u"，房屋用途："_s, u"房屋用途"_s},
        {u"，月租金："_s, u"月租金"_s},
        {u"，租期："_s, u"租期"_s},
        {u"，租金总额："_s, u"租金总额"_s},
        {u"（大写："_s, u"租金大写"_s},
        {u"）。签订日期："_s, u"签订日期"_s},
        {u"（"_s, u"签订日期大写"_s},
        {u"）。房屋面积："_s, QString()},
    };
    bool editorRan = false;
    whenModal<TemplateEditorWindow>(
        [&](TemplateEditorWindow *editor) {
            QTRY_VERIFY_WITH_TIMEOUT(editor->word().hasDocument(), 120000);
            for (const auto &[prose, marker] : templatePieces) {
                QVERIFY2(editor->word().paste(prose), qPrintable(editor->word().lastError()));
                if (!marker.isEmpty()) {
                    picks << marker;
                    QTest::mouseClick(child<QPushButton>(editor, u"insertExistingIndicatorButton"_s), Qt::LeftButton);
                }
            }
            bool indicatorRan = false;
            whenModal<IndicatorEditorDialog>(
                [](IndicatorEditorDialog *d) {
                    fillIndicatorDialog(d, {u"面积"_s, 1, u"99999999999.99"_s, u"平方米"_s});
                },
                &indicatorRan);
            QTest::mouseClick(child<QPushButton>(editor, u"insertNewIndicatorButton"_s), Qt::LeftButton);
            QVERIFY(indicatorRan);
            QVERIFY2(editor->word().paste(u"。"_s), qPrintable(editor->word().lastError()));
            QCOMPARE(mClipboard.text(), u"。"_s);
            QTest::mouseClick(child<QPushButton>(editor, u"saveButton"_s), Qt::LeftButton);
        },
        &editorRan);
    child<QTabWidget>(model, u"pages"_s)->setCurrentIndex(0);
    QTest::mouseClick(child<QPushButton>(model, u"cmdSave"_s), Qt::LeftButton);
    QVERIFY(editorRan);
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    const QString templateFile = app->file(u"DB/ModelFiles/00010001.Doc"_s);
    QVERIFY(QFile::exists(templateFile));
    QCOMPARE(indicatorGrid->model()->rowCount(), int(inputs.size()) + 1);
    // The page shows the saved template after the editor closed.
    QCOMPARE(mRenderer.requests().value(mRenderer.requests().size() - 1), templateFile);

    // --- The register: a record through the entry dialog opened by "添加合同".
    QVERIFY(openContractRegisterWindow(&area, mComposition->database(), mComposition->contractMagServices()));
    auto *mag = qobject_cast<ContractRegisterWindow *>(area.activeSubWindow()->widget());
    QVERIFY(mag);
    auto *magTree = child<QTreeView>(mag, u"Tree"_s);
    magTree->expandAll();
    clickNode(magTree, findNode(magTree, u"房屋租赁合同"_s));
    QCOMPARE(mag->contractRegister().currentCategory(), Child);
    QCOMPARE(mag->grid()->model()->rowCount(), 0);

    bool entryRan = false;
    whenModal<ContractEntryDialog>(
        [&](ContractEntryDialog *dialog) {
            // The user works in the active window: focus moves to a clicked button there.
            QApplication::setActiveWindow(dialog);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            const ContractEntryGrid &g = dialog->entry().grid();
            auto *edit = child<QLineEdit>(dialog, u"EditCell"_s);
            // Numbering fills its row as the dialog opens.
            QCOMPARE(g.value(0), u"FZ20261210001"_s);
            QCOMPARE(dialog->currentRow(), 0);
            QCOMPARE(edit->text(), u"FZ20261210001"_s);
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(dialog->currentRow(), 1);

            // The required check: saving without the landlord names him and stores nothing.
            QTest::mouseClick(child<QPushButton>(dialog, u"cmdSave"_s), Qt::LeftButton);
            QCOMPARE(mMessages.lastText(), u"扩展参数：出租方必须填写字段！"_s);
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->currentRow(), 1);
            QCOMPARE(app->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
            mMessages.clear();

            edit->insert(u"张三"_s); // typed through an input method
            QTest::keyClick(edit, Qt::Key_Return);
            auto *combo = child<QComboBox>(dialog, u"cmbCell"_s);
            QVERIFY(combo->isVisible());
            QCOMPARE(combo->count(), 3);
            combo->setCurrentIndex(1);
            QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
            QCOMPARE(g.value(2), u"办公"_s);

            QTest::keyClicks(edit, u"3500.5"_s);
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, u"12"_s);
            QTest::keyClick(edit, Qt::Key_Return);
            // The product and its capital amount are there as soon as the second factor is committed.
            QCOMPARE(g.value(3), u"3500.50"_s);
            QCOMPARE(g.value(4), u"12"_s);
            QCOMPARE(g.value(5), u"42006.00"_s);
            QCOMPARE(g.value(6), u"肆万贰仟零陆"_s);
            QCOMPARE(dialog->currentRow(), 5);
            QCOMPARE(edit->text(), u"42006.00"_s);
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(dialog->currentRow(), 7);
            auto *date = child<QDateTimeEdit>(dialog, u"dtDate"_s);
            QVERIFY(date->isVisible());
            date->setDate(QDate(2026, 12, 8));
            QTest::keyClick(date, Qt::Key_Return);
            QCOMPARE(g.value(7), u"2026-12-08"_s);
            QCOMPARE(g.value(8), u"二○二六年十二月八日"_s);
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(dialog->currentRow(), 9);
            QTest::keyClicks(edit, u"88.5"_s);
            QTest::mouseClick(child<QPushButton>(dialog, u"cmdSave"_s), Qt::LeftButton);
        },
        &entryRan);
    QTest::mouseClick(child<QPushButton>(mag, u"cmdAppend"_s), Qt::LeftButton);
    QVERIFY(entryRan);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    QCOMPARE(mag->grid()->model()->rowCount(), 1);
    const int id = app->scalar(u"SELECT max(ID) FROM TContractMain"_s).toInt();
    QCOMPARE(app->scalar(u"SELECT Data1||'/'||Data2||'/'||Data3||'/'||Data6||'/'||Data10 FROM TContractMain"_s),
             u"FZ20261210001/张三/办公/42006.00/88.50"_s);

    // --- "生成/查看合同文档": the document window fills the template with the real office; "保存" writes it.
    const QString documentFile = app->file(u"DB/ContractFile/%1.Doc"_s.arg(id));
    bool documentRan = false;
    whenModal<ContractDocumentWindow>(
        [&](ContractDocumentWindow *window) {
            QVERIFY(window->word().hasDocument());
            QTest::mouseClick(child<QPushButton>(window, u"saveButton"_s), Qt::LeftButton);
        },
        &documentRan,
        // Generated: the pairs are made and the hint "正在生成合同......" is gone again.
        [](ContractDocumentWindow *window) {
            return !window->document().markerPairs().isEmpty() && !child<QLabel>(window, u"lblHint"_s)->isVisible();
        });
    mag->grid()->setCurrentIndex(mag->grid()->model()->index(0, 1));
    QTest::mouseClick(child<QPushButton>(mag, u"documentButton"_s), Qt::LeftButton);
    QVERIFY(documentRan);
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    QVERIFY(QFile::exists(documentFile));

    // --- The saved document read back through the office: every value, its unit after it, no marker left.
    QString saved;
    {
        LibreOfficeWordApp reader(LibreOfficeWordApp::Display::Headless);
        QVERIFY2(reader.connect(), qPrintable(reader.lastError()));
        QVERIFY2(reader.open(documentFile), qPrintable(reader.lastError()));
        saved = reader.documentText().value_or(QString());
        reader.quit();
    }
    const QString expected = u"房屋租赁合同  编号：FZ20261210001出租方：张三，房屋用途：办公，月租金：3500.50元，"
                             u"租期：12个月，租金总额：42006.00元（大写：肆万贰仟零陆）。签订日期：2026-12-08"
                             u"（二○二六年十二月八日）。房屋面积：88.50平方米。"_s;
    QVERIFY2(saved.contains(expected), qPrintable(saved));
    QVERIFY2(!saved.contains(u"[<"_s) && !saved.contains(u">]"_s), qPrintable(saved));

    // --- Backup, rebuild of the business data, restore into a second application folder.
    const QStringList categories = Acceptance::tableRows(u"TContractClass"_s, u"TypeCode"_s);
    const QStringList indicators = Acceptance::tableRows(u"TDataPara"_s, u"ID"_s);
    const QStringList records = Acceptance::tableRows(u"TContractMain"_s, u"ID"_s);
    const auto documents = Acceptance::files(app->file(u"DB"_s));
    QCOMPARE(categories.size(), 2);
    QCOMPARE(indicators.size(), inputs.size() + 1);
    QCOMPARE(records.size(), 1);
    QVERIFY(documents.contains(u"ModelFiles/00010001.Doc"_s));
    QVERIFY(documents.contains(u"ContractFile/%1.Doc"_s.arg(id)));

    const QString archive = app->file(u"Bak/road.HTBK"_s);
    mMessages.clear();
    mMessages.answerFileName(archive);
    BackupDatabase(mComposition->database());
    QCOMPARE(mMessages.lastText(), u"数据文件备份成功！"_s);
    QCOMPARE(mMessages.unexpected(), 0);
    QVERIFY(QFile::exists(archive));

    SystemRebuild::run(mComposition->database(), SystemRebuild::rebuildStatements(), false,
                       [&area] { area.closeAllSubWindows(); });
    QCOMPARE(app->scalar(u"SELECT count(*) FROM TContractMain"_s), u"0"_s);
    QVERIFY(!QFile::exists(documentFile));
    QCOMPARE(Acceptance::tableRows(u"TDataPara"_s, u"ID"_s), indicators);
    QVERIFY(QFile::exists(templateFile));

    TempAppFolder second(false);
    QVERIFY(second.isValid());
    QString error;
    QVERIFY2(DatabaseRestore::restore(archive, second.path(), &error), qPrintable(error));
    mComposition.reset();
    app.reset();
    Database &restoredDatabase = Database::create(second.path());
    QVERIFY(restoredDatabase.isConnected());
    compose(restoredDatabase);
    QCOMPARE(Acceptance::tableRows(u"TContractClass"_s, u"TypeCode"_s), categories);
    QCOMPARE(Acceptance::tableRows(u"TDataPara"_s, u"ID"_s), indicators);
    QCOMPARE(Acceptance::tableRows(u"TContractMain"_s, u"ID"_s), records);
    auto restored = Acceptance::files(second.file(u"DB"_s));
    restored.remove(u"ZYDB.dat"_s);
    auto before = documents;
    before.remove(u"ZYDB.dat"_s);
    QCOMPARE(restored, before);

    // The register of the second folder lists the record.
    QVERIFY(openContractRegisterWindow(&area, mComposition->database(), mComposition->contractMagServices()));
    auto *again = qobject_cast<ContractRegisterWindow *>(area.activeSubWindow()->widget());
    auto *againTree = child<QTreeView>(again, u"Tree"_s);
    againTree->expandAll();
    clickNode(againTree, findNode(againTree, u"房屋租赁合同"_s));
    QCOMPARE(again->grid()->model()->rowCount(), 1);
    area.closeAllSubWindows();
    Database::destroy();
}

QTEST_MAIN(TestRoadOfAContract)
#include "tst_road_of_a_contract.moc"
