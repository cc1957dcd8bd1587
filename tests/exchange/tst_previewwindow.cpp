#include "exchange/preview/PrintPreviewWindow.h"
#include "platform/ScriptedMessages.h"

#include <QApplication>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestPreviewWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void closedDatasetShowsNoPreview();
    void returnButtonLeavesModalPreview();
    void pagesAndPdf();

private:
    static GridContent grid(int rows);
    ScriptedMessages mMessages;
};

GridContent TestPreviewWindow::grid(int rows) {
    GridContent content;
    content.columns = {{u"合同|编号"_qs, u"Data1"_qs, 100, Qt::AlignLeft, true},
                       {u"合同|甲方"_qs, u"Data2"_qs, 160, Qt::AlignLeft, true},
                       {u"金额"_qs, u"Data3"_qs, 90, Qt::AlignRight, true}};
    for (int r = 0; r < rows; ++r)
        content.rows.append({QStringLiteral("HT%1").arg(r + 1), u"某公司"_qs, u"100.00"_qs});
    return content;
}

void TestPreviewWindow::init() {
    mMessages.clear();
    Messages::setInstance(&mMessages);
}

void TestPreviewWindow::cleanup() {
    Messages::setInstance(nullptr);
}

void TestPreviewWindow::closedDatasetShowsNoPreview() {
    GridContent content = grid(3);
    content.isOpen = false;
    QVERIFY(previewGrid(u"合同管理"_qs, content));
    QCOMPARE(mMessages.texts(), QStringList{u"无查询结果！"_qs});
}

void TestPreviewWindow::returnButtonLeavesModalPreview() {
    bool sawPreview = false;
    QTimer::singleShot(0, this, [&] {
        auto *form = qobject_cast<PrintPreviewWindow *>(QApplication::activeModalWidget());
        if (!form)
            return;
        sawPreview =
            form->windowTitle() == u"打印预览窗口"_qs && form->grid().isActive() && form->grid().dataRowCount() == 2;
        form->findChild<QPushButton *>(u"cmdReturn"_qs)->click();
    });
    QVERIFY(previewGrid(u"合同管理"_qs, grid(2)));
    QVERIFY(sawPreview);
    QVERIFY(mMessages.texts().isEmpty());
}

void TestPreviewWindow::pagesAndPdf() {
    PrintPreviewWindow form;
    form.loadGrid(u"合同管理"_qs, grid(150));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *preview = form.findChild<QPrintPreviewWidget *>(u"previewPages"_qs);
    QVERIFY(preview);
    QTRY_VERIFY(preview->pageCount() >= 2);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"列表"_qs);
    mMessages.answerFileName(path);
    form.findChild<QPushButton *>(u"cmdPdf"_qs)->click();
    QVERIFY2(QFile::exists(path + u".pdf"_qs), qPrintable(mMessages.texts().join(u'\n')));
    QCOMPARE(mMessages.texts(), QStringList{u"保存为PDF文件"_qs});
    QVERIFY(mMessages.details().first().endsWith(u"/合同管理.pdf"_qs));
    mMessages.clear();

    // A folder that cannot be written gets a message, not a silent failure.
    mMessages.answerFileName(folder.filePath(u"没有/这个/文件夹.pdf"_qs));
    form.findChild<QPushButton *>(u"cmdPdf"_qs)->click();
    QCOMPARE(mMessages.texts().size(), 2);
    QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
    QVERIFY(mMessages.lastText().startsWith(u"保存PDF文件发生错误！\r"_qs));
}

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
