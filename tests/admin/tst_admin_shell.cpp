#include "app/admin/AdminCommands.h"
#include "app/admin/HelpWindow.h"
#include "platform/ScriptedMessages.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class TestAdminShell : public QObject {
    Q_OBJECT
private:
    RecordingShell mShell;
    ScriptedMessages mMessages;
    QTemporaryDir mDir;
    QString mApp;

private Q_SLOTS:
    void initTestCase() {
        Shell::setInstance(&mShell);
        // Blanks in the folder are passed on as they are, without quotes.
        mApp = mDir.filePath(QStringLiteral("合同 程序")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(mApp));
        Messages::setInstance(&mMessages);
    }
    void cleanupTestCase() { Messages::setInstance(nullptr); }
    void init() {
        mShell = RecordingShell();
        mMessages.clear();
    }

    static HelpWindow *helpWindow() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<HelpWindow *>(widget); window && window->isVisible())
                return window;
        }
        return nullptr;
    }

    // The pages show in the program's own window, without a browser; links between them stay there.
    void helpAndTutorialPagesInOwnWindow() {
        const QString help = mApp + QStringLiteral("Help/");
        QVERIFY(QDir().mkpath(help + QStringLiteral("images")));
        for (const QString &name : {QStringLiteral("ContractPHelp.htm"), QStringLiteral("contract.htm")})
            QVERIFY(QFile::copy(QStringLiteral(HELP_SOURCE_FOLDER "/") + name, help + name));

        QWidget frame;
        OpenHelpPage(&frame, mApp);
        HelpWindow *window = helpWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vantrel 使用说明"));
        QVERIFY(window->browser()->toPlainText().contains(QStringLiteral("Vantrel 合同生成系统 使用说明")));

        // The table of contents leads to places further down the page.
        QCOMPARE(window->browser()->verticalScrollBar()->value(), 0);
        window->openLink(QUrl(QStringLiteral("#backup")));
        QVERIFY(window->browser()->verticalScrollBar()->value() > 0);

        window->openLink(QUrl(QStringLiteral("contract.htm")));
        window->openLink(QUrl(QStringLiteral("#step12")));
        QVERIFY(window->browser()->verticalScrollBar()->value() > 0);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vantrel 动画教程：一步一步完成一份合同"));
        window->openLink(QUrl(QStringLiteral("https://example.com/page")));
        QCOMPARE(window->windowTitle(), QStringLiteral("Vantrel 动画教程：一步一步完成一份合同"));

        // "动画教程" reuses the one window.
        OpenHelpPage(&frame, mApp);
        OpenTutorialPage(&frame, mApp);
        QCOMPARE(helpWindow(), window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vantrel 动画教程：一步一步完成一份合同"));
        QCOMPARE(mShell.mPages, QStringList{QStringLiteral("https://example.com/page")});
        QVERIFY(mMessages.shown().isEmpty());
        window->close();
    }

    void missingHelpPageIsReported() {
        QWidget frame;
        QFile::remove(mApp + QStringLiteral("Help/ContractPHelp.htm"));
        OpenHelpPage(&frame, mApp);
        QVERIFY(!helpWindow());
        QCOMPARE(mMessages.texts(),
                 QStringList{QStringLiteral("找不到帮助文件：\r") + mApp + QStringLiteral("Help/ContractPHelp.htm")});
    }

    void sampleSitesInMenuOrder() {
        const auto sites = SampleSites();
        QStringList captions;
        for (const auto &site : sites) {
            captions << site.first;
            QVERIFY2(site.second.startsWith(QLatin1String("https://")), qPrintable(site.second));
        }
        QCOMPARE(captions,
                 QStringList({QStringLiteral("合同范本-律师365网络(文本)"), QStringLiteral("合同范本-华律网(文本)"),
                              QStringLiteral("合同范本-法邦网(文本-需要注册登陆)"),
                              QStringLiteral("合同范本-管理资源吧(多为Word文档)"),
                              QStringLiteral("合同范本- 精品资料网(多为Word文档)"),
                              QStringLiteral("合同范本-中国企管网(多为Word文档)"),
                              QStringLiteral("合同范本-中华励志网(多为Word文档)")}));
        for (int i = -1; i <= sites.size(); ++i)
            OpenSampleSite(i);
        QCOMPARE(mShell.mPages.size(), sites.size());
        QCOMPARE(mShell.mPages.last(), sites.last().second);
    }

    void updaterStartsWithoutParameters() {
        // Whether the program exists is not examined: the main window closes in any case.
        StartUpdater();
        QCOMPARE(mShell.mPrograms, QStringList{QCoreApplication::applicationDirPath() + QStringLiteral("/Trevolan")});
        QVERIFY(ProductWebAddress().startsWith(QLatin1String("https://")));
    }
};

QTEST_MAIN(TestAdminShell)
#include "tst_admin_shell.moc"
