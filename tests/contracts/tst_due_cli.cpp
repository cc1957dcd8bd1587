// vantrel-due as a mail job calls it: one tab-separated line per contract and date, unreadable dates on standard
// error, exit 0 with or without reminders and 2 on bad arguments.

#include "contracts/DueReminders.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QProcess>
#include <QtTest>

namespace {

const QString Cat = QStringLiteral("00010001");

struct Run {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

Run runDue(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral(VANTREL_DUE), args);
    Run run;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(p.readAllStandardError());
    return run;
}

} // namespace

class TestDueCli : public BothStoresTest {
    Q_OBJECT
private Q_SLOTS:
    void linesAndExitCodes() {
        TempAppFolder app;
        QVERIFY(app.addCategoryTree({{Cat, QStringLiteral("设备采购")}}, QStringLiteral("合同")));
        QVERIFY(app.addIndicator(Cat, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
        const int expiry = app.addIndicator(Cat, QStringLiteral("到期日"), 2, QStringLiteral("Data2"), 2, {},
                                            QStringLiteral("yyyy年M月d日"));
        QVERIFY(app.markDue(expiry, 30));
        const QStringList args{QStringLiteral("--folder"), app.path(), QStringLiteral("--today"),
                               QStringLiteral("2026-03-07")};

        // Nothing due is no failure.
        Run run = runDue(args);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines, QStringList());

        for (const auto &[party, date] :
             {std::pair{"华东\t机械", "2026年3月1日"}, std::pair{"西南电力", "2026年3月9日"},
              std::pair{"远航贸易", "2026年5月1日"}, std::pair{"北方物流", "下月"}})
            QVERIFY(app.exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2) VALUES (?, ?, ?)"),
                             {Cat, QString::fromUtf8(party), QString::fromUtf8(date)}));
        const QStringList ids = app.joined(QStringLiteral("SELECT ID FROM TContractMain ORDER BY ID")).split(u',');
        QCOMPARE(ids.size(), 4);
        run = runDue(args);
        QCOMPARE(run.exitCode, 0);
        // A tab typed into a value does not split its line.
        QCOMPARE(
            run.lines,
            (QStringList{
                "2026-03-01\t-6\t设备采购\t" + ids[0] + "\t到期日\t2026年3月1日\t甲方：华东 机械\t\t" + ids[0] + "\t",
                "2026-03-09\t2\t设备采购\t" + ids[1] + "\t到期日\t2026年3月9日\t甲方：西南电力\t\t" + ids[1] + "\t",
            }));
        QVERIFY2(run.errors.contains(QStringLiteral("无法识别的日期\t设备采购\t") + ids[3] +
                                     QStringLiteral("\t到期日\t下月")),
                 qPrintable(run.errors));

        run = runDue(args + QStringList{QStringLiteral("--days"), QStringLiteral("60")});
        QCOMPARE(run.lines.size(), 3);

        // Done reminders only with --all, marked.
        DueReminders reminders(app.database());
        QVERIFY(reminders.load(QDate(2026, 3, 7)));
        QVERIFY(reminders.markDone(reminders.due().first(), QDateTime(QDate(2026, 3, 7), QTime(9, 0))));
        run = runDue(args);
        QCOMPARE(run.lines.size(), 1);
        run = runDue(args + QStringList{QStringLiteral("--all")});
        QCOMPARE(run.lines.size(), 2);
        QVERIFY(run.lines.first().endsWith(QStringLiteral("\t已处理")));
    }

    void badArgumentsExitWithTwo_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no folder") << QStringList{"--all"};
        QTest::newRow("folder without its value") << QStringList{"--folder"};
        QTest::newRow("folder without a database") << QStringList{"--folder", "/nonexistent-vantrel-folder"};
        QTest::newRow("days beyond a year") << QStringList{"--days", "366"};
        QTest::newRow("days negative") << QStringList{"--days", "-1"};
        QTest::newRow("days not a number") << QStringList{"--days", "三十"};
        QTest::newRow("today not a date") << QStringList{"--today", "2026-02-30"};
        QTest::newRow("unknown argument") << QStringList{"--mail"};
    }
    void badArgumentsExitWithTwo() {
        QFETCH(QStringList, args);
        TempAppFolder app;
        if (!args.contains(QStringLiteral("--folder")) && QString::fromLatin1(QTest::currentDataTag()) != "no folder")
            args << QStringLiteral("--folder") << app.path();
        const Run run = runDue(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.lines.isEmpty());
        QVERIFY(run.errors.contains(QStringLiteral("用法")));
    }
};

QTEST_GUILESS_MAIN(TestDueCli)
#include "tst_due_cli.moc"
