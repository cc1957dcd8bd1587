// The template page of the template management window: which document it shows, and what clicks and keys do.

#include "documents/DocumentPaths.h"
#include "documents/ui/DocumentTemplateTab.h"
#include "documents/ui/DocumentsEntry.h"
#include "documents/ui/TemplateEditorWindow.h"
#include "documents/ui/TemplatePage.h"
#include "office/StandInPdfRenderer.h"
#include "office/StandInWordApp.h"
#include "platform/ScriptedMessages.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

class TestTemplatePage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTemplateOrEmptyTemplate_data();
    void showsTemplateOrEmptyTemplate();
    void renderFailureLeavesViewEmpty();
    void keysAreSwallowedAndClickEditsThroughTheWindowButton();
    void clickEditsOnlyAChildCategory_data();
    void clickEditsOnlyAChildCategory();

private:
    std::unique_ptr<TempAppFolder> mApp;
    std::unique_ptr<StandInPdfRenderer> mRenderer;
    std::optional<DocumentServices> mServices;
    ScriptedMessages mMessages;
    QString mPdf;
    const QString mCode = QStringLiteral("00010001");
};

void TestTemplatePage::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    mPdf = mApp->file(QStringLiteral("shown.pdf"));
    {
        QPdfWriter writer(mPdf);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("合同"));
        writer.newPage();
        painter.drawText(100, 100, QStringLiteral("第二页"));
    }
    mRenderer = std::make_unique<StandInPdfRenderer>(mPdf);
    // No office is reached unless a test says so: the editor counts as not opened.
    mServices.emplace(
        mApp->database(), [] { return std::unique_ptr<WordApp>(); }, [] { return std::unique_ptr<WordApp>(); },
        *mRenderer, [](const QString &, const QString &, int) { return QString(); },
        [](const QString &, QString *) { return false; });
    Messages::setInstance(&mMessages);
    mMessages.clear();
}

void TestTemplatePage::cleanup() {
    mServices.reset();
    mRenderer.reset();
    mApp.reset();
}

void TestTemplatePage::showsTemplateOrEmptyTemplate_data() {
    QTest::addColumn<bool>("haveTemplate");
    QTest::addColumn<bool>("haveEmpty");
    QTest::addColumn<QString>("expected"); // relative to the application folder; empty: nothing shown
    QTest::newRow("category with a template") << true << true << QStringLiteral("DB/ModelFiles/00010001.Doc");
    QTest::newRow("new category: the empty template") << false << true << QStringLiteral("DB/Empty.Doc");
    QTest::newRow("neither file") << false << false << QString();
}

void TestTemplatePage::showsTemplateOrEmptyTemplate() {
    QFETCH(bool, haveTemplate);
    QFETCH(bool, haveEmpty);
    QFETCH(QString, expected);
    QFile::remove(DocumentPaths::emptyTemplate());
    const QList<std::pair<bool, QString>> files{{haveTemplate, DocumentPaths::templateFile(mCode)},
                                                {haveEmpty, DocumentPaths::emptyTemplate()}};
    for (const auto &[wanted, path] : files) {
        if (wanted)
            QVERIFY(writeFile(path, "doc"));
    }
    TemplatePage page(*mServices);
    page.showTemplate(mCode);
    if (expected.isEmpty()) {
        QVERIFY(mRenderer->requests().isEmpty());
        QVERIFY(page.shownDocument().isEmpty());
        QCOMPARE(page.pageCount(), 0);
    } else {
        QCOMPARE(mRenderer->requests(), QStringList{mApp->file(expected)});
        QCOMPARE(page.shownDocument(), mApp->file(expected));
        QCOMPARE(page.pageCount(), 2);
    }
}

void TestTemplatePage::renderFailureLeavesViewEmpty() {
    QFile empty(DocumentPaths::emptyTemplate());
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    TemplatePage page(*mServices);
    page.showTemplate(mCode);
    QCOMPARE(page.pageCount(), 2);
    StandInPdfRenderer failing;
    mServices->pdfRenderer = &failing;
    page.showTemplate(mCode);
    QCOMPARE(failing.requests().size(), 1);
    QVERIFY(page.shownPdf().isEmpty());
    QCOMPARE(page.pageCount(), 0);
    QVERIFY(mMessages.texts().isEmpty());
}

void TestTemplatePage::keysAreSwallowedAndClickEditsThroughTheWindowButton() {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *tab = new DocumentTemplateTab(*mServices, &window);
    auto *cmdSave = new QPushButton(QStringLiteral("编辑模板(&E)"), &window);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    layout->addWidget(tab);
    layout->addWidget(cmdSave);
    int windowClicks = 0;
    connect(cmdSave, &QPushButton::clicked, &window, [&] { ++windowClicks; });
    tab->showTemplate(mCode);
    window.show();

    QWidget *view = tab->findChild<QWidget *>(QStringLiteral("documentView"));
    QVERIFY(view);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QVERIFY(QCoreApplication::sendEvent(view, &key));
    QVERIFY(key.isAccepted());
    QCOMPARE(windowClicks, 0);

    auto *scrollArea = qobject_cast<QAbstractScrollArea *>(view);
    QWidget *surface = scrollArea ? scrollArea->viewport() : view;
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(windowClicks, 1);
}

void TestTemplatePage::clickEditsOnlyAChildCategory_data() {
    QTest::addColumn<QString>("shown"); // the category on the page; empty: none yet
    QTest::addColumn<bool>("opens");
    QTest::newRow("nothing shown") << QString() << false;
    QTest::newRow("root category") << QStringLiteral("0001") << false;
    QTest::newRow("child category") << mCode << true;
}

// A click edits the template of the child category shown: the editor window comes up on that category's template.
// A root category has no template, and neither has an empty page.
void TestTemplatePage::clickEditsOnlyAChildCategory() {
    QFETCH(QString, shown);
    QFETCH(bool, opens);
    QVERIFY(writeFile(DocumentPaths::templateFile(mCode), "甲方：[<甲方>]"));
    int editors = 0;
    StandInWordApp *office = nullptr;
    mServices->newWordApp = [&] {
        ++editors;
        auto word = std::make_unique<StandInWordApp>();
        office = word.get();
        return word;
    };
    // What the modal editor showed, noted and closed from the event loop it runs.
    QString editorTitle;
    QString editedDocument;
    QTimer closer;
    int ticks = 0;
    connect(&closer, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *editor = qobject_cast<TemplateEditorWindow *>(modal);
        const bool ready = editor && office && office->hasDocument();
        if (!ready && ++ticks < 250)
            return;
        if (ready) {
            editorTitle = editor->windowTitle();
            editedDocument = office->documentPath();
        }
        if (modal)
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    closer.start(20);

    TemplatePage page(*mServices);
    if (!shown.isEmpty())
        page.showTemplate(shown);
    page.editTemplate();
    closer.stop();
    QCOMPARE(editors, opens ? 1 : 0);
    if (opens) {
        QCOMPARE(editorTitle, QStringLiteral("编辑Word"));
        QCOMPARE(editedDocument, DocumentPaths::templateFile(mCode));
    }
}

QTEST_MAIN(TestTemplatePage)
#include "tst_templatepage.moc"
