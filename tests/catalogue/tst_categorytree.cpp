#include "catalogue/CategoryCodes.h"
#include "catalogue/CategoryCommands.h"
#include "catalogue/CategoryTreeModel.h"
#include "platform/ScriptedMessages.h"
#include "store/CategoryStore.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

class tst_CategoryTree : public BothStoresTest {
    Q_OBJECT

private:
    ScriptedMessages mMessages;

    // The boxes shown, without the input prompts.
    QStringList boxes() const {
        QStringList list;
        for (const auto &shown : mMessages.shown())
            if (shown.kind != ScriptedMessages::Kind::Input)
                list << shown.text;
        return list;
    }
    static QString name(const QString &code) { return QStringLiteral("类别") + code; }
    static QStringList captions(const CategoryTreeModel &model, const QModelIndex &parent = {}) {
        QStringList list;
        for (int r = 0; r < model.rowCount(parent); ++r)
            list << model.index(r, 0, parent).data().toString();
        return list;
    }

    void initStore() override {
        mMessages.clear();
        Messages::setInstance(&mMessages);
    }

private Q_SLOTS:
    void cleanup() { Messages::setInstance(nullptr); }

    void getMaxNum_data() {
        QTest::addColumn<QStringList>("existing"); // codes; a code longer than four digits is a child
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty table gives the first root") << QStringList() << QString() << QStringLiteral("0001");
        const QStringList two = {QStringLiteral("0001"), QStringLiteral("0002"), QStringLiteral("00020001"),
                                 QStringLiteral("00020002"), QStringLiteral("00020003")};
        QTest::newRow("next root") << two << QString() << QStringLiteral("0003");
        QTest::newRow("next child after the highest") << two << QStringLiteral("0002") << QStringLiteral("00020004");
        QTest::newRow("first child of a root") << two << QStringLiteral("0001") << QStringLiteral("00010001");
        QTest::newRow("gap is not filled")
            << QStringList{QStringLiteral("0002"), QStringLiteral("00020001"), QStringLiteral("00020003")}
            << QStringLiteral("0002") << QStringLiteral("00020004");
        QTest::newRow("highest deleted is issued again")
            << QStringList{QStringLiteral("0002"), QStringLiteral("00020001"), QStringLiteral("00020002")}
            << QStringLiteral("0002") << QStringLiteral("00020003");
        QTest::newRow("9998 leaves room for one more")
            << QStringList{QStringLiteral("0001"), QStringLiteral("00019998")} << QStringLiteral("0001")
            << QStringLiteral("00019999");
        QTest::newRow("9999 children: refused")
            << QStringList{QStringLiteral("0001"), QStringLiteral("00019999")} << QStringLiteral("0001") << QString();
        QTest::newRow("9999 roots: refused") << QStringList{QStringLiteral("9999")} << QString() << QString();
    }

    void getMaxNum() {
        QFETCH(QStringList, existing);
        QFETCH(QString, parent);
        QFETCH(QString, expected);
        TempAppFolder app;
        QVERIFY(app.isValid());
        for (const QString &code : existing)
            QVERIFY(app.addCategory(code, name(code), code.size() > 4 ? code.left(4) : QString()));
        QCOMPARE(nextCategoryCode(CategoryStore(app.database()), parent), expected);
        if (expected.isEmpty()) {
            QCOMPARE(mMessages.texts().size(), 1);
            QVERIFY(mMessages.lastText().contains(QStringLiteral("9999")));
        } else {
            QVERIFY(mMessages.texts().isEmpty());
        }
    }

    void getMaxNumUnreadable() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TDataPara")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractMain")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractClass")));
        QCOMPARE(nextCategoryCode(CategoryStore(app.database()), QString()), QString());
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("读取数据出现错误。")});
    }

    void buildInCodeOrderSortedByName() {
        TempAppFolder app;
        // Inserted out of order: the builder reads by code, then sorts siblings by name.
        QVERIFY(app.addCategory(QStringLiteral("00020002"), QStringLiteral("租赁合同"), QStringLiteral("0002")));
        QVERIFY(app.addCategory(QStringLiteral("0002"), QStringLiteral("B 工程类")));
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("C 销售类")));
        QVERIFY(app.addCategory(QStringLiteral("00020001"), QStringLiteral("安装合同"), QStringLiteral("0002")));
        QVERIFY(app.addCategory(QStringLiteral("00010001"), QStringLiteral("买卖合同"), QStringLiteral("0001")));
        QVERIFY(app.addCategory(QStringLiteral("0003"), QStringLiteral("A 空分类")));

        CategoryTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.load(CategoryStore(app.database())));
        QCOMPARE(captions(model),
                 (QStringList{QStringLiteral("A 空分类"), QStringLiteral("B 工程类"), QStringLiteral("C 销售类")}));
        const QModelIndex works = model.findCode(QStringLiteral("0002"));
        QCOMPARE(captions(model, works), (QStringList{QStringLiteral("安装合同"), QStringLiteral("租赁合同")}));
        const CategoryRecord lease = model.goodsClass(model.index(1, 0, works));
        QCOMPARE(lease.TypeCode, QStringLiteral("00020002"));
        QCOMPARE(lease.ParTypeCode, QStringLiteral("0002"));
        QCOMPARE(lease.nLeveal, 1);
        QVERIFY(!model.isChild(works));
        QVERIFY(model.isChild(model.index(1, 0, works)));
        QCOMPARE(model.rowCount(model.findCode(QStringLiteral("0003"))), 0);
    }

    void openingSelectsTopRootWithoutShowingPages() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("乙")));
        QVERIFY(app.addCategory(QStringLiteral("0002"), QStringLiteral("甲")));
        QVERIFY(app.addCategory(QStringLiteral("00010001"), QStringLiteral("合同"), QStringLiteral("0001")));
        CategoryCommands commands(app.database());
        QSignalSpy shown(&commands, &CategoryCommands::childCategoryClicked);
        QSignalSpy hidden(&commands, &CategoryCommands::pagesHidden);
        QVERIFY(commands.loadTree());
        QCOMPARE(commands.model()->caption(commands.selected()),
                 commands.model()->caption(commands.model()->firstNode()));
        QCOMPARE(hidden.size(), 1);
        QCOMPARE(shown.size(), 0);
        QVERIFY(commands.currentCode().isEmpty());

        commands.select(commands.model()->findCode(QStringLiteral("00010001")));
        commands.showSelected();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("00010001"));
        QCOMPARE(shown.at(0).at(1).toString(), QStringLiteral("合同"));

        // A root leaves the right side empty and the current code as it was.
        commands.select(commands.model()->findCode(QStringLiteral("0002")));
        commands.showSelected();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(commands.currentCode(), QStringLiteral("00010001"));
    }

    void unreadableTableFailsTheWindow() {
        TempAppFolder app;
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TDataPara")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractMain")));
        QVERIFY(app.exec(QStringLiteral("DROP TABLE TContractClass")));
        CategoryCommands commands(app.database());
        QVERIFY(!commands.loadTree());
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("读取数据发生错误！")});
    }

    void addRootAndChild() {
        TempAppFolder app;
        CategoryCommands commands(app.database());
        QVERIFY(commands.loadTree());
        QVERIFY(!commands.selected().isValid());

        // 20 Chinese characters are cut to the first 15 (30 GBK bytes).
        const QString longName = QStringLiteral("一二三四五六七八九十甲乙丙丁戊己庚辛壬癸");
        mMessages.answerInput(longName);
        commands.addRootCategory();
        QCOMPARE(mMessages.details().value(0), QStringLiteral("输入供应商主分类名称"));
        const QString cut = longName.left(15);
        QCOMPARE(app.scalar(QStringLiteral("SELECT TypeName FROM TContractClass WHERE TypeCode='0001'")), cut);
        QCOMPARE(commands.model()->caption(commands.selected()), cut);

        mMessages.answerInput(QStringLiteral("买卖合同"));
        commands.addChildCategory();
        QCOMPARE(app.scalar(QStringLiteral("SELECT ParTypeCode||'/'||nLeveal||'/'||TypeName FROM TContractClass "
                                           "WHERE TypeCode='00010001'")),
                 QStringLiteral("0001/1/买卖合同"));
        const QModelIndex child = commands.model()->findCode(QStringLiteral("00010001"));
        QVERIFY(commands.model()->isChild(child));

        // Cancelled and empty answers add nothing.
        mMessages.answerInput(std::nullopt);
        commands.addRootCategory();
        mMessages.answerInput(QString());
        commands.addChildCategory();
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("2"));

        commands.select(child);
        commands.addChildCategory();
        QCOMPARE(mMessages.lastText(), QStringLiteral("选择根分类再添加下级"));
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void failedInsertLeavesNoNode() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("根")));
        CategoryCommands commands(app.database());
        QVERIFY(commands.loadTree());
        QVERIFY(app.refuseChanges(QStringLiteral("TContractClass"), QStringLiteral("INSERT")));
        mMessages.answerInput(QStringLiteral("新根"));
        commands.addRootCategory();
        mMessages.answerInput(QStringLiteral("新合同"));
        commands.addChildCategory();
        QCOMPARE(boxes(), (QStringList{QStringLiteral("读取数据出现错误。"), QStringLiteral("读取数据出现错误。")}));
        QCOMPARE(commands.model()->rowCount(), 1);
        QCOMPARE(commands.model()->rowCount(commands.model()->firstNode()), 0);
    }

    void renameKeepsRecordAndCancelRewrites() {
        TempAppFolder app;
        QVERIFY(app.addCategory(QStringLiteral("0001"), QStringLiteral("乙")));
        QVERIFY(app.addCategory(QStringLiteral("0002"), QStringLiteral("丙")));
        CategoryCommands commands(app.database());
        QVERIFY(commands.loadTree());
        commands.select(commands.model()->findCode(QStringLiteral("0001")));
        mMessages.answerInput(QStringLiteral("甲's \"引号\""));
        commands.renameCategory();
        QCOMPARE(mMessages.details().value(1), QStringLiteral("乙"));
        QCOMPARE(app.scalar(QStringLiteral("SELECT TypeName FROM TContractClass WHERE TypeCode='0001'")),
                 QStringLiteral("甲's \"引号\""));
        const QModelIndex node = commands.model()->findCode(QStringLiteral("0001"));
        QCOMPARE(commands.model()->caption(node), QStringLiteral("甲's \"引号\""));
        QCOMPARE(commands.model()->goodsClass(node).TypeName, QStringLiteral("乙"));

        mMessages.answerInput(std::nullopt);
        commands.select(node);
        commands.renameCategory();
        QCOMPARE(commands.model()->caption(node), QStringLiteral("甲's \"引号\""));
        mMessages.answerInput(QString());
        commands.renameCategory();
        QCOMPARE(commands.model()->caption(node), QStringLiteral("甲's \"引号\""));
    }

    void deleteCases() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("用过的")},
                                     {QStringLiteral("00010002"), QStringLiteral("空的")}}));
        QVERIFY(app.addIndicator(QStringLiteral("00010001"), QStringLiteral("金额"), 1, QStringLiteral("Data1"), 1) >
                0);
        CategoryCommands commands(app.database());
        QVERIFY(commands.loadTree());

        // A root with children: refused before any question.
        commands.select(commands.model()->findCode(QStringLiteral("0001")));
        commands.deleteCategory();
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("指定分类下有子分类，不能直接删除！请先删除子分类！")});

        // A category that owns indicators: the database refuses, row and node stay.
        mMessages.clear();
        mMessages.answerQuestion(true);
        commands.select(commands.model()->findCode(QStringLiteral("00010001")));
        commands.deleteCategory();
        QCOMPARE(mMessages.texts(), (QStringList{QStringLiteral("您确认删除吗？"),
                                                 QStringLiteral("删除数据发生错误，可能该分类已经被使用。")}));
        QVERIFY(commands.model()->findCode(QStringLiteral("00010001")).isValid());
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("3"));

        // No keeps it; Yes removes the row and the node.
        commands.select(commands.model()->findCode(QStringLiteral("00010002")));
        mMessages.answerQuestion(false);
        commands.deleteCategory();
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("3"));
        mMessages.answerQuestion(true);
        commands.deleteCategory();
        QVERIFY(!commands.model()->findCode(QStringLiteral("00010002")).isValid());
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM TContractClass")), QStringLiteral("2"));
        QCOMPARE(nextCategoryCode(CategoryStore(app.database()), QStringLiteral("0001")), QStringLiteral("00010002"));
        QCOMPARE(mMessages.unexpected(), 0);
    }

    void deleteRemovesTheTemplateOnly() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{QStringLiteral("00010001"), QStringLiteral("留下的")},
                                     {QStringLiteral("00010002"), QStringLiteral("删除的")}}));
        QVERIFY(app.addIndicator(QStringLiteral("00010001"), QStringLiteral("金额"), 1, QStringLiteral("Data1"), 1) >
                0);
        const QStringList removed = {QStringLiteral("00010002.Doc"), QStringLiteral("00010002.docx"),
                                     QStringLiteral("00010002.ODT")};
        const QStringList kept = {QStringLiteral("00010001.Doc"), QStringLiteral("0001.Doc"),
                                  QStringLiteral("000100020.Doc"), QStringLiteral("00010002.Doc.bak"),
                                  QStringLiteral("00010002.txt")};
        const auto write = [&](const QString &folder, const QString &name) {
            QVERIFY(writeFile(app.file(folder + name), "text"));
        };
        for (const QString &name : removed + kept)
            write(QStringLiteral("DB/ModelFiles/"), name);
        write(QStringLiteral("DB/ContractFile/"), QStringLiteral("00010002.Doc"));
        write(QStringLiteral("DB/"), QStringLiteral("00010002.Doc"));
        const auto present = [&](const QStringList &names) {
            QStringList found;
            for (const QString &name : names)
                if (QFile::exists(app.file(QStringLiteral("DB/ModelFiles/") + name)))
                    found << name;
            return found;
        };

        CategoryCommands commands(app.database());
        QVERIFY(commands.loadTree());

        // Refused by the database or answered No: the template stays.
        commands.select(commands.model()->findCode(QStringLiteral("00010001")));
        mMessages.answerQuestion(true);
        commands.deleteCategory();
        QVERIFY(QFile::exists(app.file(QStringLiteral("DB/ModelFiles/00010001.Doc"))));
        commands.select(commands.model()->findCode(QStringLiteral("00010002")));
        mMessages.answerQuestion(false);
        commands.deleteCategory();
        QCOMPARE(present(removed), removed);

        // Deleted: its templates go, in every format; nothing else does, and the next child gets a blank start.
        mMessages.clear();
        mMessages.answerQuestion(true);
        commands.deleteCategory();
        QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("您确认删除吗？")});
        QCOMPARE(present(removed), QStringList());
        QCOMPARE(present(kept), kept);
        QVERIFY(QFile::exists(app.file(QStringLiteral("DB/ContractFile/00010002.Doc"))));
        QVERIFY(QFile::exists(app.file(QStringLiteral("DB/00010002.Doc"))));
        commands.select(commands.model()->findCode(QStringLiteral("0001")));
        mMessages.answerInput(QStringLiteral("新的"));
        commands.addChildCategory();
        QVERIFY(commands.model()->findCode(QStringLiteral("00010002")).isValid());
        QVERIFY(!QFile::exists(app.file(QStringLiteral("DB/ModelFiles/00010002.Doc"))));
        QCOMPARE(mMessages.unexpected(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CategoryTree)
#include "tst_categorytree.moc"
