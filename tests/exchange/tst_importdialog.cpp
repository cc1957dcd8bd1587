#include "exchange/import/ImportDialog.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

class TestImportDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void chooseMapImport();

private:
    static QString data(const QString &name) { return QStringLiteral(EXCHANGE_TEST_DATA "/") + name; }
    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
};

void TestImportDialog::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->addCategoryTree({{u"00010001"_qs, u"买卖合同"_qs}}, u"合同"_qs));
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"合同编号"_qs, 0, u"Data1"_qs, 1) > 0);
    QVERIFY(mApp->addIndicator(u"00010001"_qs, u"乙方"_qs, 0, u"Data2"_qs, 2) > 0);
    mMessages.clear();
    Messages::setInstance(&mMessages);
}

void TestImportDialog::cleanup() {
    Messages::setInstance(nullptr);
    mApp.reset();
}

void TestImportDialog::chooseMapImport() {
    ImportDialog form(mApp->database(), u"00010001"_qs);
    form.show();
    QCOMPARE(form.windowTitle(), u"合同数据导入"_qs);
    auto *tablesPanel = form.findChild<QWidget *>(u"sheetPanel"_qs);
    auto *tables = form.findChild<QComboBox *>(u"sheetChooser"_qs);
    auto *mapping = form.findChild<QTableView *>(u"mappingGrid"_qs);
    auto *sheet = form.findChild<QTableView *>(u"sheetGrid"_qs);
    auto *menu = form.findChild<QMenu *>(u"columnMenu"_qs);
    if (!(tablesPanel && tables && mapping && sheet && menu))
        QFAIL("the window lacks one of its widgets");
    QVERIFY(!tablesPanel->isEnabled());
    QVERIFY(mapping->isColumnHidden(3) && mapping->isColumnHidden(4));

    auto *columnMenuButton = form.findChild<QPushButton *>(u"columnMenuButton"_qs);
    QVERIFY(columnMenuButton);
    columnMenuButton->click();
    QCOMPARE(mMessages.lastText(), u"请首先选择源Excel数据文件，然后再指定列对应关系。"_qs);

    mMessages.answerFileName(data(u"basic.xlsx"_qs));
    form.findChild<QPushButton *>(u"chooseFileButton"_qs)->click();
    QVERIFY(tablesPanel->isEnabled());
    QCOMPARE(tables->count(), 1);
    QCOMPARE(sheet->model()->rowCount(), 4);
    QCOMPARE(mapping->model()->rowCount(), 2);
    QCOMPARE(mapping->model()->index(0, 5).data().toString(), u"合同编号"_qs);
    QCOMPARE(mapping->model()->index(1, 5).data().toString(), QString());

    // Map 乙方 by hand from the column menu.
    mapping->setCurrentIndex(mapping->model()->index(1, 0));
    form.findChild<QPushButton *>(u"columnMenuButton"_qs)->click();
    QCOMPARE(menu->actions().size(), 6);
    menu->actions().at(1)->trigger(); // 甲方
    menu->hide();
    QCOMPARE(mapping->model()->index(1, 5).data().toString(), u"甲方"_qs);

    form.findChild<QPushButton *>(u"importButton"_qs)->click();
    QCOMPARE(mMessages.lastText(), u"数据导入完成！"_qs);
    QCOMPARE(mApp->scalar(u"SELECT Data2 FROM TContractMain WHERE Data1='HT-002'"_qs), u"上海某公司"_qs);

    form.findChild<QPushButton *>(u"closeButton"_qs)->click();
    QVERIFY(!form.isVisible());
}

QTEST_MAIN(TestImportDialog)
#include "tst_importdialog.moc"
