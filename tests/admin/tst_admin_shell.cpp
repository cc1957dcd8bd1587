#include "AdminCommands.h"
#include "Shell.h"
#include "TDM.h"

#include <QTemporaryDir>
#include <QtTest>

class TestAdminShell : public QObject
{
    Q_OBJECT
private:
    RecordingShell mShell;
    QTemporaryDir mDir;
    QString mApp;

private Q_SLOTS:
    void initTestCase()
    {
        Shell::setInstance(&mShell);
        // Blanks in the folder are passed on as they are, without quotes.
        mApp = mDir.filePath(QStringLiteral("合同 程序")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(mApp));
        TDM::create(mApp);
    }
    void cleanupTestCase() { TDM::destroy(); }
    void init() { mShell = RecordingShell(); }

    void helpAndTutorialPages()
    {
        OpenHelpPage();
        OpenTutorialPage();
        QCOMPARE(mShell.mPages,
                 QStringList({mApp + QStringLiteral("Help/ContractPHelp.htm"), mApp + QStringLiteral("Help/contract.htm")}));
    }

    void sampleSitesInMenuOrder()
    {
        const auto sites = SampleSites();
        QStringList captions;
        for (const auto &site : sites) {
            captions << site.first;
            QVERIFY2(site.second.startsWith(QLatin1String("https://")), qPrintable(site.second));
        }
        QCOMPARE(captions, QStringList({QStringLiteral("合同范本-律师365网络(文本)"), QStringLiteral("合同范本-华律网(文本)"),
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

    void updaterStartsWithoutParameters()
    {
        // Whether the program exists is not examined: the main window closes in any case.
        StartUpdater();
        QCOMPARE(mShell.mPrograms, QStringList{QCoreApplication::applicationDirPath() + QStringLiteral("/Trevolan")});
        QVERIFY(ProductWebAddress().startsWith(QLatin1String("https://")));
    }
};

QTEST_GUILESS_MAIN(TestAdminShell)
#include "tst_admin_shell.moc"
