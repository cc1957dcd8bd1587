// The template editor's logic and window over the in-process office stand-in and a real database.

#include "documents/DocumentPaths.h"
#include "documents/TemplateEditor.h"
#include "documents/ui/TemplateEditorWindow.h"
#include "office/StandInWordApp.h"
#include "platform/Clipboard.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(std::optional<QString>)

class TestTemplateEditor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void opensTemplateOrEmptyTemplate_data();
    void opensTemplateOrEmptyTemplate();
    void noDocumentToOpen();
    void insertNewIndicator_data();
    void insertNewIndicator();
    void insertExistingIndicator_data();
    void insertExistingIndicator();
    void insertClause_data();
    void insertClause();
    void saveCreatesTemplateFile();
    void saveFailureKeepsWindowOpen();
    void closeWithoutSaveWritesNothing();
    void officeOwnSaveNeverWritesEmptyDoc_data();
    void officeOwnSaveNeverWritesEmptyDoc();
    void closeAsksWhenModified_data();
    void closeAsksWhenModified();
    void officeUnreachable();
    void windowLayoutAndClose();

private:
    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
    MemoryClipboard mClipboard;
    StandInWordApp mWord;
    QString mCode = QStringLiteral("00010001");
};

void TestTemplateEditor::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    QVERIFY(mApp->addCategoryTree({{mCode, QStringLiteral("房屋租赁合同")}}, QStringLiteral("房屋租赁")));
    // The stand-in reads UTF-8 text files as documents.
    QVERIFY(writeText(DocumentPaths::emptyTemplate(), QStringLiteral("空白文档")));
    mMessages.clear();
    mClipboard.setText(QString());
    Messages::setInstance(&mMessages);
    Clipboard::setInstance(&mClipboard);
    mWord.quit();
    mWord.clearCalls();
    for (const char *op : {"connect", "open", "paste", "saveAs", "print", "quit"})
        mWord.setFailing(QLatin1String(op), false);
}

void TestTemplateEditor::cleanup() {
    mApp.reset();
}

void TestTemplateEditor::opensTemplateOrEmptyTemplate_data() {
    QTest::addColumn<bool>("haveTemplate");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("new category: the empty template") << false << QStringLiteral("空白文档");
    QTest::newRow("category with a template") << true << QStringLiteral("租赁合同 [<甲方>]");
}

void TestTemplateEditor::opensTemplateOrEmptyTemplate() {
    QFETCH(bool, haveTemplate);
    QFETCH(QString, expectedText);
    const QString path = DocumentPaths::templateFile(mCode);
    if (haveTemplate)
        QVERIFY(writeText(path, QStringLiteral("租赁合同 [<甲方>]")));

    TemplateEditor editor(mWord, mCode, path);
    QVERIFY(editor.prepare());
    QVERIFY(mWord.isArranged());
    QCOMPARE(mWord.text(), expectedText);
    QVERIFY(mMessages.texts().isEmpty());
}

void TestTemplateEditor::noDocumentToOpen() {
    QVERIFY(QFile::remove(DocumentPaths::emptyTemplate()));
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    QVERIFY(!editor.prepare());
    QVERIFY(!mWord.hasDocument());
    QCOMPARE(mMessages.texts().size(), 1);
    QVERIFY(mMessages.lastText().contains(QStringLiteral("Empty.Doc")));
}

void TestTemplateEditor::insertNewIndicator_data() {
    QTest::addColumn<QString>("savedName");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedClipboard");
    QTest::newRow("saved") << QStringLiteral("总价") << QStringLiteral("空白[<总价>]文档")
                           << QStringLiteral("[<总价>]");
    QTest::newRow("cancelled") << QString() << QStringLiteral("空白文档") << QString();
}

void TestTemplateEditor::insertNewIndicator() {
    QFETCH(QString, savedName);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedClipboard);
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    QStringList asked;
    editor.setIndicatorDialogs(
        [&](const QString &table, const QString &code, int id) {
            asked << table + QLatin1Char('/') + code + QLatin1Char('/') + QString::number(id);
            return savedName;
        },
        {});
    QVERIFY(editor.prepare());
    mWord.setInsertionPoint(2);
    mWord.clearCalls();

    editor.insertNewIndicator();
    QCOMPARE(asked, QStringList{QStringLiteral("TDataPara/00010001/-1")});
    QCOMPARE(mWord.text(), expectedText);
    QCOMPARE(mClipboard.text(), expectedClipboard);
    QCOMPARE(mWord.callCount(QStringLiteral("bringToFront")), savedName.isEmpty() ? 0 : 1);
    QVERIFY(mMessages.texts().isEmpty());
}

void TestTemplateEditor::insertExistingIndicator_data() {
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("chosen") << true << QStringLiteral("[<月租金>]空白文档");
    QTest::newRow("nothing chosen") << false << QStringLiteral("空白文档");
}

void TestTemplateEditor::insertExistingIndicator() {
    QFETCH(bool, chosen);
    QFETCH(QString, expectedText);
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    QString askedFor;
    editor.setIndicatorDialogs({}, [&](const QString &code, QString *name) {
        askedFor = code;
        *name = chosen ? QStringLiteral("月租金") : QString();
        return chosen;
    });
    QVERIFY(editor.prepare());
    editor.insertExistingIndicator();
    QCOMPARE(askedFor, mCode);
    QCOMPARE(mWord.text(), expectedText);
    QCOMPARE(mClipboard.text(), chosen ? QStringLiteral("[<月租金>]") : QString());
}

void TestTemplateEditor::insertClause_data() {
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<std::optional<QString>>("value");
    QTest::addColumn<int>("selected"); // characters selected from the start of the document
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("any value, around the selection")
        << true << std::optional<QString>(QString()) << 4 << QStringLiteral("[<如果:月租金>]空白文档[<结束>]");
    QTest::newRow("a value, at the caret") << true << std::optional<QString>(QStringLiteral(" 3500 ")) << 0
                                           << QStringLiteral("[<如果:月租金=3500>][<结束>]空白文档");
    QTest::newRow("nothing chosen") << false << std::optional<QString>(QString()) << 4 << QStringLiteral("空白文档");
    QTest::newRow("value box cancelled") << true << std::optional<QString>() << 4 << QStringLiteral("空白文档");
}

void TestTemplateEditor::insertClause() {
    QFETCH(bool, chosen);
    QFETCH(std::optional<QString>, value);
    QFETCH(int, selected);
    QFETCH(QString, expectedText);
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    editor.setIndicatorDialogs({}, [&](const QString &, QString *name) {
        *name = chosen ? QStringLiteral("月租金") : QString();
        return chosen;
    });
    QVERIFY(editor.prepare());
    mWord.setInsertionPoint(0);
    mWord.setSelectionLength(selected);
    mMessages.answerInput(value);
    editor.insertClause();
    QCOMPARE(mWord.text(), expectedText);
    // The value is asked for once the indicator is chosen; nothing else is said.
    QCOMPARE(mMessages.texts().size(), chosen ? 1 : 0);
}

void TestTemplateEditor::saveCreatesTemplateFile() {
    // A fresh folder may lack DB/ModelFiles: saving makes it.
    QVERIFY(QDir(mApp->file(QStringLiteral("DB/ModelFiles"))).removeRecursively());
    const QString path = DocumentPaths::templateFile(mCode);
    TemplateEditor editor(mWord, mCode, path);
    editor.setIndicatorDialogs([](const QString &, const QString &, int) { return QStringLiteral("甲方"); }, {});
    QVERIFY(editor.prepare());
    editor.insertNewIndicator();
    QVERIFY(editor.save());
    QCOMPARE(readText(path), QStringLiteral("[<甲方>]空白文档"));
    QCOMPARE(path, mApp->file(QStringLiteral("DB/ModelFiles/00010001.Doc")));
    // The empty template is never written.
    QCOMPARE(readText(DocumentPaths::emptyTemplate()), QStringLiteral("空白文档"));
    QVERIFY(mMessages.texts().isEmpty());
}

void TestTemplateEditor::saveFailureKeepsWindowOpen() {
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    QVERIFY(editor.prepare());
    mWord.setFailing(QStringLiteral("saveAs"));
    QVERIFY(!editor.save());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("保存文件发生错误")});
    QVERIFY(mWord.hasDocument());
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(mCode)));
}

void TestTemplateEditor::closeWithoutSaveWritesNothing() {
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    editor.setIndicatorDialogs([](const QString &, const QString &, int) { return QStringLiteral("甲方"); }, {});
    QVERIFY(editor.prepare());
    editor.insertNewIndicator();
    editor.close();
    QCOMPARE(mWord.callCount(QStringLiteral("quit")), 1);
    QCOMPARE(mWord.callCount(QStringLiteral("saveAs")), 0);
    QVERIFY(!mWord.isConnected());
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(mCode)));
    QVERIFY(mMessages.texts().isEmpty());
}

void TestTemplateEditor::officeUnreachable() {
    mWord.setFailing(QStringLiteral("connect"));
    TemplateEditor editor(mWord, mCode, DocumentPaths::templateFile(mCode));
    int created = 0;
    editor.setIndicatorDialogs(
        [&](const QString &, const QString &, int) {
            ++created;
            return QStringLiteral("总价");
        },
        {});
    QVERIFY(!editor.prepare());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("可能您的系统中尚未安装Microsoft Word 办公软件")});
    QCOMPARE(mMessages.shown().first().kind, ScriptedMessages::Kind::Warning);
    QCOMPARE(mWord.callCount(QStringLiteral("open")), 0);

    // Inserting still stores the indicator, then ends with the office's error; saving reports its own message.
    mMessages.clear();
    editor.insertNewIndicator();
    QCOMPARE(created, 1);
    QCOMPARE(mMessages.texts().size(), 1);
    QVERIFY(!mMessages.lastText().isEmpty());
    mMessages.clear();
    QVERIFY(!editor.save());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("保存文件发生错误")});
    mMessages.clear();
    editor.print();
    QCOMPARE(mMessages.texts().size(), 1);
    editor.close();
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(mCode)));
}

void TestTemplateEditor::windowLayoutAndClose() {
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    TemplateEditorWindow form(mCode, DocumentPaths::templateFile(mCode), std::move(word));
    QCOMPARE(form.windowTitle(), QStringLiteral("编辑Word"));
    QCOMPARE(form.width(), 110);
    QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QStringList captions{QStringLiteral("插入新指标"), QStringLiteral("插入已有指标"), QStringLiteral("保存"),
                               QStringLiteral("打印"), QStringLiteral("关闭")};
    const QStringList names{QStringLiteral("insertNewIndicatorButton"), QStringLiteral("insertExistingIndicatorButton"),
                            QStringLiteral("saveButton"), QStringLiteral("printButton"), QStringLiteral("closeButton")};
    for (int i = 0; i < names.size(); ++i) {
        auto *button = form.findChild<QPushButton *>(names.at(i));
        QVERIFY(button);
        QCOMPARE(button->text(), captions.at(i));
    }
    QVERIFY(form.timer()->isSingleShot());
    QCOMPARE(form.timer()->interval(), 600);
    QVERIFY(!form.timer()->isActive());

    form.show();
    QTRY_VERIFY(office->hasDocument());
    QVERIFY(form.timer()->isActive());
    QTRY_COMPARE(office->callCount(QStringLiteral("bringToFront")), 1);

    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(office->callCount(QStringLiteral("quit")), 1);
    QVERIFY(!QFile::exists(DocumentPaths::templateFile(mCode)));
}

void TestTemplateEditor::officeOwnSaveNeverWritesEmptyDoc_data() {
    QTest::addColumn<bool>("officeWindowClosed");
    QTest::newRow("Ctrl+S in the office") << false;
    QTest::newRow("Save while closing the office's window") << true;
}

void TestTemplateEditor::officeOwnSaveNeverWritesEmptyDoc() {
    // The office's own Save writes where the document came from.
    QFETCH(bool, officeWindowClosed);
    const QString path = DocumentPaths::templateFile(mCode);
    TemplateEditor editor(mWord, mCode, path);
    editor.setIndicatorDialogs([](const QString &, const QString &, int) { return QStringLiteral("甲方"); }, {});
    QVERIFY(editor.prepare());
    editor.insertNewIndicator();
    QVERIFY(mWord.saveInPlace());
    if (officeWindowClosed)
        mWord.disconnect();
    QCOMPARE(readText(DocumentPaths::emptyTemplate()), QStringLiteral("空白文档"));
    QVERIFY(!QFile::exists(path));

    // What the user saved in the office is not yet the template: closing asks, and "保存" keeps it.
    mMessages.answerSaveQuestion(Messages::SaveChoice::Save);
    QVERIFY(editor.canClose());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("模板文档已经修改，是否保存？")});
    editor.close();
    QCOMPARE(readText(path), QStringLiteral("[<甲方>]空白文档"));
    QCOMPARE(readText(DocumentPaths::emptyTemplate()), QStringLiteral("空白文档"));
}

void TestTemplateEditor::closeAsksWhenModified_data() {
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer"); // Messages::SaveChoice, when asked
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("templateText"); // the template file afterwards; empty: none

    QTest::newRow("unchanged: closes without a question") << false << -1 << true << QString();
    QTest::newRow("changed, 保存") << true << int(Messages::SaveChoice::Save) << true
                                   << QStringLiteral("[<甲方>]空白文档");
    QTest::newRow("changed, 不保存") << true << int(Messages::SaveChoice::Discard) << true << QString();
    QTest::newRow("changed, 取消: stays open") << true << int(Messages::SaveChoice::Cancel) << false << QString();
}

void TestTemplateEditor::closeAsksWhenModified() {
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(QString, templateText);
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    const QString path = DocumentPaths::templateFile(mCode);
    TemplateEditorWindow form(mCode, path, std::move(word));
    form.editor().setIndicatorDialogs([](const QString &, const QString &, int) { return QStringLiteral("甲方"); }, {});
    form.show();
    QTRY_VERIFY(office->hasDocument());
    if (edited)
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("insertNewIndicatorButton")), Qt::LeftButton);
    if (answer >= 0)
        mMessages.answerSaveQuestion(Messages::SaveChoice(answer));

    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
    QCOMPARE(mMessages.texts(), edited ? QStringList{QStringLiteral("模板文档已经修改，是否保存？")} : QStringList());
    QCOMPARE(mMessages.unexpected(), 0);
    QCOMPARE(form.isVisible(), !closes);
    if (!closes) {
        QCOMPARE(office->text(), QStringLiteral("[<甲方>]空白文档"));
        mMessages.answerSaveQuestion(Messages::SaveChoice::Discard);
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(office->callCount(QStringLiteral("quit")), 1);
    QCOMPARE(readText(path), templateText);
    QCOMPARE(QFile::exists(path), !templateText.isEmpty());
    QCOMPARE(readText(DocumentPaths::emptyTemplate()), QStringLiteral("空白文档"));
}

QTEST_MAIN(TestTemplateEditor)
#include "tst_templateeditor.moc"
