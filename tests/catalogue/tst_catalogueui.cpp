#include "catalogue/CategorySelectDialog.h"
#include "catalogue/IndicatorEditorDialog.h"
#include "catalogue/IndicatorSelectDialog.h"
#include "catalogue/TemplateManagerWindow.h"
#include "catalogue/TemplateTab.h"
#include "platform/Clipboard.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

// Records what the template management window asks of its template page.
class RecordingTemplateTab : public TemplateTab {
public:
    using TemplateTab::TemplateTab;
    void showTemplate(const QString &code) override { calls << QStringLiteral("show ") + code; }
    void editTemplate(const QString &code) override { calls << QStringLiteral("edit ") + code; }
    static inline QStringList calls;
};

class tst_CatalogueUi : public QObject {
    Q_OBJECT

private:
    ScriptedMessages mMessages;
    MemoryClipboard mClipboard;

    // With VANTREL_GRAB_DIR set, windows are saved as pictures for a look at texts and layout.
    static void grab(QWidget *widget, const QString &name) {
        const QString folder = qEnvironmentVariable("VANTREL_GRAB_DIR");
        if (!folder.isEmpty())
            widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    static void click(QWidget *parent, const char *name) {
        auto *b = parent->findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static void clickNode(QTreeView *tree, const QModelIndex &index) {
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    }
    static QModelIndex findNode(QTreeView *tree, const QString &caption) {
        const auto hits = tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, caption, 1,
                                               Qt::MatchExactly | Qt::MatchRecursive);
        return hits.value(0);
    }

private Q_SLOTS:
    void init() {
        mMessages.clear();
        Messages::setInstance(&mMessages);
        Clipboard::setInstance(&mClipboard);
    }
    void cleanup() {
        Messages::setInstance(nullptr);
        Clipboard::setInstance(nullptr);
    }

    void templateWindowBuildsATree() {
        TempAppFolder app;
        QMdiArea area;
        area.resize(1200, 700);
        area.show();
        QVERIFY(openTemplateManagerWindow(&area, app.database(), {}));
        QCOMPARE(area.subWindowList().size(), 1);
        QMdiSubWindow *sub = area.subWindowList().first();
        QVERIFY(sub->isMaximized());
        QPointer<TemplateManagerWindow> window = qobject_cast<TemplateManagerWindow *>(sub->widget());
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("合同文挡模板管理"));
        auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
        auto *pages = window->findChild<QTabWidget *>(QStringLiteral("pages"));
        auto *prompt = window->findChild<QLabel *>(QStringLiteral("lblPrompt"));
        auto *cmdSave = window->findChild<QPushButton *>(QStringLiteral("cmdSave"));
        QVERIFY(tree && pages && prompt && cmdSave);
        QVERIFY(prompt->isVisible());
        QVERIFY(!pages->isVisible());
        QVERIFY(!cmdSave->isVisible());
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("templatePage")));

        mMessages.answerInput(QStringLiteral("工程类"));
        click(window, "cmdAddRoot");
        const QModelIndex root = findNode(tree, QStringLiteral("工程类"));
        QVERIFY(root.isValid());
        QCOMPARE(tree->currentIndex(), root);

        mMessages.answerInput(QStringLiteral("建设工程施工合同"));
        click(window, "addChildButton");
        const QModelIndex child = findNode(tree, QStringLiteral("建设工程施工合同"));
        QVERIFY(child.isValid());
        QCOMPARE(child.parent(), root);
        QVERIFY(tree->isExpanded(root));
        QCOMPARE(mMessages.unexpected(), 0);

        clickNode(tree, child);
        QVERIFY(pages->isVisible());
        QVERIFY(cmdSave->isVisible());
        QVERIFY(!prompt->isVisible());
        QCOMPARE(window->currentCode(), QStringLiteral("00010001"));
        QCOMPARE(window->findChild<QGroupBox *>(QStringLiteral("templateBox"))->title(),
                 QStringLiteral("合同文挡 [建设工程施工合同] 的模板内容："));
        QCOMPARE(pages->tabText(0), QStringLiteral("合同文档模板维护"));
        QCOMPARE(pages->tabText(1), QStringLiteral("合同文挡编辑模板维护"));
        grab(sub, QStringLiteral("TemplateManagerWindow"));

        app.addIndicator(QStringLiteral("00010001"), QStringLiteral("合同金额"), 1, QStringLiteral("Data1"), 1);
        app.addIndicator(QStringLiteral("00010001"), QStringLiteral("金额大写"), 0, QStringLiteral("Data2"), 2,
                         QStringLiteral("[MONEY_STOB][合同金额]"));
        clickNode(tree, child);
        pages->setCurrentIndex(1);
        QCOMPARE(window->findChild<QTableView *>(QStringLiteral("indicatorGrid"))->model()->rowCount(), 2);
        grab(sub, QStringLiteral("TemplateManagerWindow-indicators"));

        // A click on a root empties the right side again.
        clickNode(tree, root);
        QVERIFY(!pages->isVisible());

        click(window, "closeButton");
        QTRY_VERIFY(!window);
        QVERIFY(area.subWindowList().isEmpty());
    }

    void oneClickSelectsAfterAddingARoot_data() {
        QTest::addColumn<QString>("newRoot");
        QTest::addColumn<QString>("target");
        QTest::newRow("new root sorted first, click a child") << QStringLiteral("安装类") << QStringLiteral("监理");
        QTest::newRow("new root sorted last, click a child") << QStringLiteral("租赁类") << QStringLiteral("监理");
        QTest::newRow("click the new root") << QStringLiteral("安装类") << QStringLiteral("安装类");
        QTest::newRow("click another root") << QStringLiteral("租赁类") << QStringLiteral("买卖类");
    }

    void oneClickSelectsAfterAddingARoot() {
        QFETCH(QString, newRoot);
        QFETCH(QString, target);
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("监理")}}, QStringLiteral("工程类")));
        QVERIFY(app.addCategory(QStringLiteral("0002"), QStringLiteral("买卖类")));
        QMdiArea area;
        area.resize(1200, 700);
        area.show();
        QVERIFY(openTemplateManagerWindow(&area, app.database(), {}));
        auto *window = qobject_cast<TemplateManagerWindow *>(area.subWindowList().constFirst()->widget());
        QVERIFY(window);
        auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
        QVERIFY(QTest::qWaitForWindowExposed(tree));
        // The window opens on the topmost root.
        const QPersistentModelIndex works(findNode(tree, QStringLiteral("工程类")));
        QCOMPARE(tree->currentIndex(), QModelIndex(works));
        QVERIFY(tree->isExpanded(works));

        mMessages.answerInput(newRoot);
        click(window, "cmdAddRoot");
        QVERIFY(findNode(tree, newRoot).isValid());
        QSignalSpy resets(tree->model(), &QAbstractItemModel::modelReset);
        QSignalSpy currents(tree->selectionModel(), &QItemSelectionModel::currentChanged);
        const QPersistentModelIndex clicked(findNode(tree, target));
        clickNode(tree, clicked);
        QCOMPARE(tree->currentIndex(), QModelIndex(clicked));
        QCOMPARE(currents.size(), 1);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(window->categories()->model()->rowCount(), 3);
        // A child keeps its root open; another root closes the one selected before.
        QCOMPARE(tree->isExpanded(works), clicked.parent() == QModelIndex(works));
        QCOMPARE(window->findChild<QTabWidget *>(QStringLiteral("pages"))->isVisible(), clicked.parent().isValid());
        QCOMPARE(mMessages.unexpected(), 0);
    }

    // A press and its release as the X server delivers them: whatever the press makes the tree do (expanding,
    // collapsing, a pending layout) runs before the release comes.
    static void pressAndRelease(QTreeView *tree, const QModelIndex &index) {
        tree->scrollTo(index);
        QCoreApplication::processEvents();
        const QPoint at = tree->visualRect(index).center();
        QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(30);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }

    void aClickOpensTheNodeUnderThePress_data() {
        QTest::addColumn<QString>("newRoot");
        QTest::addColumn<QString>("target");
        QTest::newRow("a root below the open root") << QString() << QStringLiteral("买卖合同");
        QTest::newRow("a just-added root below the open root") << QStringLiteral("租赁类") << QStringLiteral("租赁类");
        QTest::newRow("a child of the open root after adding a root")
            << QStringLiteral("租赁类") << QStringLiteral("商铺租赁合同");
    }

    void aClickOpensTheNodeUnderThePress() {
        QFETCH(QString, newRoot);
        QFETCH(QString, target);
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("房屋租赁合同")},
                                     {QStringLiteral("00010002"), QStringLiteral("商铺租赁合同")}},
                                    QStringLiteral("房屋租赁")));
        QVERIFY(app.addCategory(QStringLiteral("0002"), QStringLiteral("买卖合同")));
        QVERIFY(app.addCategory(QStringLiteral("00020001"), QStringLiteral("设备采购合同"), QStringLiteral("0002")));
        QMdiArea area;
        area.resize(1200, 700);
        area.show();
        QVERIFY(openTemplateManagerWindow(&area, app.database(), {}));
        auto *window = qobject_cast<TemplateManagerWindow *>(area.subWindowList().constFirst()->widget());
        QVERIFY(window);
        auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
        QVERIFY(QTest::qWaitForWindowExposed(tree));
        const QPersistentModelIndex lease(findNode(tree, QStringLiteral("房屋租赁")));
        QCOMPARE(tree->currentIndex(), QModelIndex(lease));
        QVERIFY(tree->isExpanded(lease));
        if (!newRoot.isEmpty()) {
            mMessages.answerInput(newRoot);
            click(window, "cmdAddRoot");
        }

        const QPersistentModelIndex node(findNode(tree, target));
        QVERIFY(node.isValid());
        const bool isChild = node.parent().isValid();
        pressAndRelease(tree, node);
        QCOMPARE(tree->currentIndex(), QModelIndex(node));
        QCOMPARE(tree->selectionModel()->selectedIndexes(), QModelIndexList{node});
        // The window opened what was clicked: a child's pages, or the empty right side of a root.
        QCOMPARE(window->findChild<QTabWidget *>(QStringLiteral("pages"))->isVisible(), isChild);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("lblPrompt"))->isVisible(), !isChild);
        if (isChild)
            QCOMPARE(window->currentCode(), window->categories()->model()->goodsClass(node).TypeCode);
        // Selecting still opens the node and closes the root selected before, unless it holds the node.
        QCOMPARE(tree->isExpanded(lease), node.parent() == QModelIndex(lease));
        if (tree->model()->hasChildren(node))
            QVERIFY(tree->isExpanded(node));
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void templatePageIsDrivenByTheWindow() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("买卖")}}));
        RecordingTemplateTab::calls.clear();
        TemplateManagerWindow window(app.database(), [](QWidget *parent) { return new RecordingTemplateTab(parent); });
        QVERIFY(window.loadTree());
        window.resize(1000, 600);
        window.show();
        auto *tree = window.findChild<QTreeView *>(QStringLiteral("Tree"));
        clickNode(tree, findNode(tree, QStringLiteral("买卖")));
        click(&window, "cmdSave");
        Q_EMIT window.templateTab()->editRequested();
        QCOMPARE(RecordingTemplateTab::calls,
                 (QStringList{QStringLiteral("show 00010001"), QStringLiteral("edit 00010001"),
                              QStringLiteral("show 00010001"), QStringLiteral("edit 00010001"),
                              QStringLiteral("show 00010001")}));

        // On a root the command does nothing.
        RecordingTemplateTab::calls.clear();
        clickNode(tree, findNode(tree, QStringLiteral("根")));
        window.editTemplate();
        QVERIFY(RecordingTemplateTab::calls.isEmpty());
    }

    void unreadableCategoriesOpenNothing() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TDataPara")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractMain")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractClass")));
        QMdiArea area;
        QVERIFY(!openTemplateManagerWindow(&area, app.database(), {}));
        QVERIFY(area.subWindowList().isEmpty());
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("读取数据发生错误！")});
    }

    void indicatorEditor() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("买卖")}}));
        IndicatorEditorDialog dialog(app.database(), QStringLiteral("TDataPara"), QStringLiteral("00010001"), -1);
        QVERIFY(dialog.load());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("新增/修改扩展参数指标"));
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("EditFieldName"));
        auto *type = dialog.findChild<QComboBox *>(QStringLiteral("cmbFieldType"));
        auto *format = dialog.findChild<QComboBox *>(QStringLiteral("EditFormatStr"));
        auto *calc = dialog.findChild<QLineEdit *>(QStringLiteral("EditCalcStr"));
        QVERIFY(name && type && format && calc);

        // Picking a type suggests a format; only a pick by the user does.
        format->setCurrentText(QStringLiteral("yyyy-MM-dd"));
        type->setCurrentIndex(1);
        QCOMPARE(format->currentText(), QStringLiteral("yyyy-MM-dd"));
        type->activated(1);
        QCOMPARE(format->currentText(), QStringLiteral("99999999999.99"));

        // The first four menu items go in front of the formula, whatever the caret; the pick goes at the caret.
        calc->setText(QStringLiteral("[金额]"));
        calc->setCursorPosition(calc->text().size());
        dialog.insertMoneyToCapital();
        QCOMPARE(calc->text(), QStringLiteral("[MONEY_STOB][金额]"));
        QCOMPARE(mClipboard.text(), QStringLiteral("[MONEY_STOB]"));
        calc->setSelection(12, 4);
        dialog.insertFormulaText(QStringLiteral("[单价]"), false);
        QCOMPARE(calc->text(), QStringLiteral("[MONEY_STOB][单价]"));
        calc->setSelection(0, 3);
        dialog.insertMoneyWanToCapital();
        QCOMPARE(calc->text(), QStringLiteral("[MONEY_STOB_W][MONEY_STOB][单价]"));
        calc->clear();
        dialog.insertNumbering();
        QCOMPARE(calc->text(), QStringLiteral("[GETBILLID]{C[YYYY][MM][DD][IIII]}"));
        QCOMPARE(mMessages.lastText().split(QLatin1Char('\n')),
                 (QStringList{QStringLiteral("{C[YYYY][MM][DD][IIII]}为合同编号的格式，"),
                              QStringLiteral("比如今天是2012年2月15日第二个合同，则合同号为 C201202150002 "),
                              QStringLiteral("在{}内，非[]内的信息，可自主填写")}));

        // Enter moves on like Tab.
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), type);
        grab(&dialog, QStringLiteral("IndicatorEditorDialog"));

        click(&dialog, "cmdSave");
        QCOMPARE(mMessages.lastText(), QStringLiteral("指标名称必须输入！"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget(), name);
        name->setText(QStringLiteral("合同编号"));
        click(&dialog, "cmdSave");
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.cancelled());
        QCOMPARE(app.scalar(QStringLiteral("SELECT PropertyType||'/'||FormatStr||'/'||DataFieldA||'/'||SortIdx||'/'||"
                                           "CalcStr FROM TDataPara")),
                 QStringLiteral("1/99999999999.99/Data1/1/[GETBILLID]{C[YYYY][MM][DD][IIII]}"));
    }

    // A date indicator marked for reminders keeps the mark and its days ahead; other types cannot be marked.
    void indicatorEditorMarksADateForReminders() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("买卖")}}));
        int id = 0;
        {
            IndicatorEditorDialog dialog(app.database(), QStringLiteral("TDataPara"), QStringLiteral("00010001"), -1);
            QVERIFY(dialog.load());
            auto *type = dialog.findChild<QComboBox *>(QStringLiteral("cmbFieldType"));
            auto *remind = dialog.findChild<QCheckBox *>(QStringLiteral("dueRemindCheck"));
            auto *days = dialog.findChild<QSpinBox *>(QStringLiteral("dueDaysSpin"));
            QVERIFY(type && remind && days);
            QVERIFY(!remind->isEnabled());
            QCOMPARE(days->value(), 30);
            type->setCurrentIndex(2);
            QVERIFY(remind->isEnabled());
            QVERIFY(!days->isEnabled());
            remind->setChecked(true);
            QVERIFY(days->isEnabled());
            days->setValue(15);
            QCOMPARE(days->maximum(), 365);
            dialog.findChild<QLineEdit *>(QStringLiteral("EditFieldName"))->setText(QStringLiteral("到期日"));
            click(&dialog, "cmdSave");
            QVERIFY(!dialog.cancelled());
            QCOMPARE(app.scalar(QStringLiteral("SELECT DueRemind||'/'||DueDays FROM TDataPara")),
                     QStringLiteral("1/15"));
            id = app.scalar(QStringLiteral("SELECT ID FROM TDataPara")).toInt();
        }
        IndicatorEditorDialog again(app.database(), QStringLiteral("TDataPara"), QStringLiteral("00010001"), id);
        QVERIFY(again.load());
        QVERIFY(again.findChild<QCheckBox *>(QStringLiteral("dueRemindCheck"))->isChecked());
        QCOMPARE(again.findChild<QSpinBox *>(QStringLiteral("dueDaysSpin"))->value(), 15);
        // Changed to text, the indicator no longer reminds.
        again.findChild<QComboBox *>(QStringLiteral("cmbFieldType"))->setCurrentIndex(0);
        click(&again, "cmdSave");
        QCOMPARE(app.scalar(QStringLiteral("SELECT DueRemind||'/'||DueDays FROM TDataPara")), QStringLiteral("0/15"));
    }

    void categoryPicker() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("旧名")}}));
        QVERIFY(app.exec(QStringLiteral("UPDATE TContractClass SET TypeName='新名' WHERE TypeCode='00010001'")));
        CategorySelectDialog dialog(app.database());
        QVERIFY(dialog.load());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("选择合同模板"));
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *tree = dialog.findChild<QTreeView *>(QStringLiteral("Tree"));
        QCOMPARE(QApplication::focusWidget(), tree);
        grab(&dialog, QStringLiteral("CategorySelectDialog"));

        // The topmost root is selected: Enter asks for a child category and the picker stays open.
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("请选择下级分类！")});
        QVERIFY(dialog.isVisible());

        tree->setCurrentIndex(findNode(tree, QStringLiteral("新名")));
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.picker().chosenCode(), QStringLiteral("00010001"));
        QCOMPARE(dialog.picker().chosenName(), QStringLiteral("新名"));
    }

    void indicatorPicker() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree(
            {{QStringLiteral("00010001"), QStringLiteral("空")}, {QStringLiteral("00010002"), QStringLiteral("有")}}));
        app.addIndicator(QStringLiteral("00010002"), QStringLiteral("乙方"), 0, QStringLiteral("Data2"), 2);
        app.addIndicator(QStringLiteral("00010002"), QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1);

        IndicatorSelectDialog empty(app.database(), QStringLiteral("00010001"));
        QVERIFY(empty.load());
        empty.show();
        click(&empty, "cmdSelect");
        QVERIFY(empty.isVisible());
        QVERIFY(empty.picker().cancelled());

        IndicatorSelectDialog dialog(app.database(), QStringLiteral("00010002"));
        QVERIFY(dialog.load());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("选择可插入的指标"));
        auto *grid = dialog.findChild<QTableView *>(QStringLiteral("indicatorGrid"));
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("合同指标名称"));
        QCOMPARE(grid->model()->rowCount(), 2);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        grab(&dialog, QStringLiteral("IndicatorSelectDialog"));
        grid->selectRow(1);
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.picker().chosenName(), QStringLiteral("乙方"));
    }
};

QTEST_MAIN(tst_CatalogueUi)
#include "tst_catalogueui.moc"
