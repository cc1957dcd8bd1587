#include "app/MainWindow.h"
#include "catalogue/TemplateManagerWindow.h"
#include "contracts/ContractRegisterWindow.h"
#include "documents/DocumentPaths.h"
#include "documents/ui/TemplateEditorWindow.h"
#include "office/StandInWordApp.h"
#include "platform/Messages.h"
#include "platform/ScriptedMessages.h"
#include "support/RegisterServices.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

const QString Lease = u"00010001"_s;

QString helpPage(const QString &name) {
    QFile file(QStringLiteral(HELP_SOURCE_FOLDER "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// A caption as the user reads it: "过滤(&F)" shows as "过滤(F)".
QString shown(QString caption) {
    return caption.remove(u'&');
}

// The rows of the first table after the heading with the given id: first cell → whole row, as plain text.
QMap<QString, QString> tableAfter(const QString &page, const QString &id) {
    QMap<QString, QString> rows;
    const qsizetype heading = page.indexOf(u"id=\""_s + id + u'"');
    const qsizetype start = page.indexOf(u"<table>"_s, heading);
    const qsizetype end = page.indexOf(u"</table>"_s, start);
    if (heading < 0 || start < 0 || end < 0)
        return rows;
    static const QRegularExpression row(u"<tr><td>(.*?)</td>(.*?)</tr>"_s,
                                        QRegularExpression::DotMatchesEverythingOption);
    auto it = row.globalMatch(page.mid(start, end - start));
    while (it.hasNext()) {
        const auto match = it.next();
        rows.insert(shown(QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText().trimmed()),
                    QTextDocumentFragment::fromHtml(match.captured(2)).toPlainText());
    }
    return rows;
}

QSet<QString> keysOf(const QMap<QString, QString> &rows) {
    return QSet<QString>(rows.keyBegin(), rows.keyEnd());
}

template <typename Button> QSet<QString> captionsOf(const QWidget *window) {
    QSet<QString> captions;
    for (const Button *button : window->findChildren<Button *>()) {
        if (!button->text().isEmpty())
            captions.insert(shown(button->text()));
    }
    return captions;
}

} // namespace

// The user guide against the windows it describes: the buttons its tables name are the windows' buttons, and
// where it says a command asks first, the command does.
class TestHelpPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        mFolder = std::make_unique<TempAppFolder>();
        QVERIFY(mFolder->isValid());
        QVERIFY(mFolder->addCategoryTree({{Lease, u"房屋租赁合同"_s}}, u"房屋租赁"_s));
        QVERIFY(mFolder->addIndicator(Lease, u"出租方"_s, 0, u"Data1"_s, 1) > 0);
        mMessages.clear();
        Messages::setInstance(&mMessages);
        mPage = helpPage(u"ContractPHelp.htm"_s);
        QVERIFY(!mPage.isEmpty());
    }
    void cleanup() {
        Messages::setInstance(nullptr);
        mFolder.reset();
    }

    void buttonTablesNameTheWindowsButtons() {
        // The main window: every toolbar button, and nothing else.
        MainWindow frame{MainCommands()};
        QCOMPARE(keysOf(tableAfter(mPage, u"main"_s)), captionsOf<QToolButton>(&frame));

        // The register: every button, and nothing that is not one ("发送到Excel" lives in the list's menu).
        QMdiArea area;
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        QWidget *mag = area.subWindowList().first()->widget();
        const auto registerRows = tableAfter(mPage, u"register"_s);
        QCOMPARE(keysOf(registerRows), captionsOf<QPushButton>(mag));

        // The template management window: the table names the buttons below the category tree.
        QVERIFY(openTemplateManagerWindow(&area, mFolder->database(), {}));
        QWidget *model = area.subWindowList().last()->widget();
        const auto modelRows = tableAfter(mPage, u"model"_s);
        const QSet<QString> modelButtons = captionsOf<QPushButton>(model);
        for (auto it = modelRows.keyBegin(); it != modelRows.keyEnd(); ++it)
            QVERIFY2(modelButtons.contains(*it), qPrintable(*it));
    }

    void registerAsksWhereTheGuideSaysItAsks() {
        QVERIFY(mFolder->exec(u"INSERT INTO TContractMain (ID,MainTypeCode,Data1) VALUES (7,?,'甲公司')"_s, {Lease}));
        const QString document = mFolder->file(u"DB/ContractFile/7.Doc"_s);
        QVERIFY(writeFile(document, "doc"));

        QMdiArea area;
        area.resize(1000, 600);
        area.show();
        QVERIFY(openContractRegisterWindow(&area, mFolder->database(), registerServicesForTest()));
        auto *mag = qobject_cast<ContractRegisterWindow *>(area.subWindowList().first()->widget());
        auto *tree = mag->findChild<QTreeView *>(u"Tree"_s);
        const QModelIndex root = tree->model()->index(0, 0);
        tree->expand(root);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(tree->model()->index(0, 0, root)).center());
        QCOMPARE(mag->grid()->model()->rowCount(), 1);
        mag->grid()->selectRow(0);

        const auto rows = tableAfter(mPage, u"register"_s);
        const auto asked = [&] {
            for (const auto &shownBox : mMessages.shown()) {
                if (shownBox.kind == ScriptedMessages::Kind::Question)
                    return true;
            }
            return false;
        };

        // "删除已生成合同文档" deletes without a question.
        QTest::mouseClick(mag->findChild<QPushButton *>(u"deleteDocumentButton"_s), Qt::LeftButton);
        QVERIFY(!QFile::exists(document));
        QVERIFY(!asked());
        QVERIFY2(rows.value(u"删除已生成合同文档"_s).contains(u"不询问"_s),
                 qPrintable(rows.value(u"删除已生成合同文档"_s)));

        // "删除合同" asks first; No keeps the record.
        mMessages.clear();
        mMessages.answerQuestion(false);
        QTest::mouseClick(mag->findChild<QPushButton *>(u"deleteButton"_s), Qt::LeftButton);
        QVERIFY(asked());
        QCOMPARE(mag->grid()->model()->rowCount(), 1);
        QVERIFY(rows.value(u"删除合同"_s).contains(u"会先询问"_s));
    }

    // "保存" in the template editor saves the template and closes the editor: the guide says so, and the tutorial
    // asks for no "关闭" after it (there is no editor left to close).
    void templateEditorClosesOnSaveAsTheGuideSays() {
        QVERIFY(writeText(DocumentPaths::emptyTemplate(), u"出租方：[<出租方>]"_s));
        auto word = std::make_unique<StandInWordApp>();
        StandInWordApp *office = word.get();
        TemplateEditorWindow editor(Lease, DocumentPaths::templateFile(Lease), std::move(word));
        editor.show();
        QTRY_VERIFY(office->hasDocument());
        QTest::mouseClick(editor.findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
        QVERIFY(QFile::exists(DocumentPaths::templateFile(Lease)));
        QVERIFY(!editor.isVisible());

        const qsizetype section = mPage.indexOf(u"id=\"template\""_s);
        QVERIFY(section >= 0);
        static const QRegularExpression saveItem(u"<li><b>保存</b>(.*?)</li>"_s);
        const QString item = saveItem.match(mPage, section).captured(1);
        QVERIFY2(item.contains(u"关闭"_s), qPrintable(item));

        const QString tutorial = QTextDocumentFragment::fromHtml(helpPage(u"contract.htm"_s)).toPlainText();
        QVERIFY(tutorial.contains(u"保存"_s));
        static const QRegularExpression closeAfterSave(u"按\\s*保存[，,]\\s*再按\\s*关闭"_s);
        QVERIFY2(!closeAfterSave.match(tutorial).hasMatch(), qPrintable(closeAfterSave.match(tutorial).captured()));
        QCOMPARE(mMessages.unexpected(), 0);
    }

private:
    std::unique_ptr<TempAppFolder> mFolder;
    ScriptedMessages mMessages;
    QString mPage;
};

QTEST_MAIN(TestHelpPages)
#include "tst_helppages.moc"
