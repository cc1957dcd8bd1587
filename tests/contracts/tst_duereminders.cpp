// Which contracts' dates remind: dates stored in each indicator's own format, the window from 30 days past to the
// indicator's days ahead, unreadable values listed, and "已处理" marks that hold for one date only.

#include "contracts/DueReminders.h"
#include "support/BothStoresTest.h"
#include "support/TempAppFolder.h"

#include <QtTest>

namespace {

const QString Purchase = QStringLiteral("00010001");
const QString Lease = QStringLiteral("00010002");
const QDate Today(2026, 3, 7);

// Two categories: a purchase with a numbering indicator, two text indicators and three marked dates in three
// formats (30, 10 and 0 days ahead) beside an unmarked one; a lease without numbering whose marked date has no
// format (60 days ahead).
struct Fixture {
    TempAppFolder app;
    int expiry = 0;
    int payment = 0;
    int delivery = 0;
    int signing = 0;
    int leaseEnd = 0;

    bool build() {
        bool ok = app.isValid() &&
                  app.addCategoryTree({{Purchase, QStringLiteral("设备采购")}, {Lease, QStringLiteral("房屋租赁")}},
                                      QStringLiteral("合同"));
        ok = ok && app.addIndicator(Purchase, QStringLiteral("合同编号"), 0, QStringLiteral("Data1"), 1,
                                    QStringLiteral("[GETBILLID]{C[YYYY][IIII]}")) > 0;
        ok = ok && app.addIndicator(Purchase, QStringLiteral("甲方"), 0, QStringLiteral("Data2"), 2) > 0;
        ok = ok && app.addIndicator(Purchase, QStringLiteral("金额"), 1, QStringLiteral("Data3"), 3) > 0;
        ok = ok && app.addIndicator(Purchase, QStringLiteral("乙方"), 0, QStringLiteral("Data4"), 4) > 0;
        expiry = app.addIndicator(Purchase, QStringLiteral("到期日"), 2, QStringLiteral("Data5"), 5, {},
                                  QStringLiteral("yyyy-MM-dd"));
        payment = app.addIndicator(Purchase, QStringLiteral("付款日"), 2, QStringLiteral("Data6"), 6, {},
                                   QStringLiteral("yyyy年M月d日"));
        delivery = app.addIndicator(Purchase, QStringLiteral("交付日"), 2, QStringLiteral("Data7"), 7, {},
                                    QStringLiteral("MM/dd/yyyy"));
        signing = app.addIndicator(Purchase, QStringLiteral("签订日"), 2, QStringLiteral("Data8"), 8, {},
                                   QStringLiteral("yyyy-MM-dd"));
        ok = ok && app.addIndicator(Lease, QStringLiteral("承租方"), 0, QStringLiteral("Data1"), 1) > 0;
        leaseEnd = app.addIndicator(Lease, QStringLiteral("租期届满"), 2, QStringLiteral("Data2"), 2);
        return ok && expiry > 0 && payment > 0 && delivery > 0 && signing > 0 && leaseEnd > 0 && mark(expiry, 30) &&
               mark(payment, 10) && mark(delivery, 0) && mark(leaseEnd, 60);
    }
    bool mark(int indicator, int days) { return app.markDue(indicator, days); }
    // A record of the category with values in the given columns; its ID.
    qint64 contract(const QString &category, const QList<QPair<QString, QString>> &values) {
        QStringList columns{QStringLiteral("MainTypeCode")};
        QStringList marks{QStringLiteral("?")};
        QVariantList binds{category};
        for (const auto &[column, value] : values) {
            columns << column;
            marks << QStringLiteral("?");
            binds << value;
        }
        app.exec(QStringLiteral("INSERT INTO TContractMain (%1) VALUES (%2)")
                     .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                 binds);
        return app.scalar(QStringLiteral("SELECT MAX(ID) FROM TContractMain")).toLongLong();
    }
};

} // namespace

class TestDueReminders : public BothStoresTest {
    Q_OBJECT
private Q_SLOTS:
    // One stored value of one indicator: a due reminder with its days left, a value listed as unreadable, or
    // nothing at all.
    void storedDateReminds_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // days left, "unreadable" or "none"

        QTest::newRow("30 days past") << Purchase << "Data5"
                                      << "2026-02-05"
                                      << "-30";
        QTest::newRow("31 days past") << Purchase << "Data5"
                                      << "2026-02-04"
                                      << "none";
        QTest::newRow("today") << Purchase << "Data5"
                               << "2026-03-07"
                               << "0";
        QTest::newRow("last day ahead") << Purchase << "Data5"
                                        << "2026-04-06"
                                        << "30";
        QTest::newRow("beyond the days ahead") << Purchase << "Data5"
                                               << "2026-04-07"
                                               << "none";
        QTest::newRow("unmarked indicator") << Purchase << "Data8"
                                            << "2026-03-08"
                                            << "none";
        QTest::newRow("chinese format") << Purchase << "Data6"
                                        << "2026年3月17日"
                                        << "10";
        QTest::newRow("chinese format, leading zeros") << Purchase << "Data6"
                                                       << "2026年03月09日"
                                                       << "2";
        QTest::newRow("chinese format beyond its 10 days") << Purchase << "Data6"
                                                           << "2026年3月18日"
                                                           << "none";
        QTest::newRow("month first") << Purchase << "Data7"
                                     << "03/07/2026"
                                     << "0";
        QTest::newRow("month first, not day first") << Purchase << "Data7"
                                                    << "03/02/2026"
                                                    << "-5";
        QTest::newRow("no days ahead") << Purchase << "Data7"
                                       << "03/08/2026"
                                       << "none";
        QTest::newRow("no format: short date") << Lease << "Data2"
                                               << "2026/5/1"
                                               << "55";
        QTest::newRow("no format: short date and time") << Lease << "Data2"
                                                        << "2026/5/6 9:30:00"
                                                        << "60";
        QTest::newRow("another format than the indicator's") << Purchase << "Data5"
                                                             << "2026年3月10日"
                                                             << "3";
        QTest::newRow("blanks around") << Purchase << "Data5"
                                       << " 2026-03-08 "
                                       << "1";
        QTest::newRow("words") << Purchase << "Data5"
                               << "下月底"
                               << "unreadable";
        QTest::newRow("no such day") << Purchase << "Data5"
                                     << "2026-02-30"
                                     << "unreadable";
        QTest::newRow("no such month") << Purchase << "Data6"
                                       << "2026年13月1日"
                                       << "unreadable";
        QTest::newRow("empty") << Purchase << "Data5"
                               << ""
                               << "none";
        QTest::newRow("blank") << Purchase << "Data5"
                               << "  "
                               << "none";
    }
    void storedDateReminds() {
        QFETCH(QString, category);
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        Fixture f;
        QVERIFY(f.build());
        const qint64 id = f.contract(category, {{column, value}});
        QVERIFY(id > 0);

        DueReminders reminders(f.app.database());
        QString error;
        QVERIFY2(reminders.load(Today, &error), qPrintable(error));
        if (expected == QLatin1String("unreadable")) {
            QCOMPARE(reminders.due().size(), 0);
            QCOMPARE(reminders.unreadable().size(), 1);
            QCOMPARE(reminders.unreadable().first().contractId, id);
            QCOMPARE(reminders.unreadable().first().dateText, value);
        } else if (expected == QLatin1String("none")) {
            QCOMPARE(reminders.due().size(), 0);
            QCOMPARE(reminders.unreadable().size(), 0);
        } else {
            QCOMPARE(reminders.unreadable().size(), 0);
            QCOMPARE(reminders.due().size(), 1);
            const DueReminder &r = reminders.due().first();
            QCOMPARE(r.contractId, id);
            QCOMPARE(r.daysLeft, expected.toInt());
            QCOMPARE(r.date, Today.addDays(expected.toInt()));
            QCOMPARE(r.dateText, value);
        }
    }

    // What a row shows to tell the contract, and the order of the list over categories.
    void rowsTellTheContractAndFollowTheDate() {
        Fixture f;
        QVERIFY(f.build());
        const qint64 numbered = f.contract(Purchase, {{"Data1", "C20260007"},
                                                      {"Data2", "华东机械"},
                                                      {"Data4", "远航贸易"},
                                                      {"Data5", "2026-03-20"},
                                                      {"Data6", "2026年3月8日"}});
        const qint64 unnumbered = f.contract(Purchase, {{"Data2", "西南电力"}, {"Data5", "2026-03-01"}});
        const qint64 lease = f.contract(Lease, {{"Data1", "张三"}, {"Data2", "2026/3/10"}});
        DueReminders reminders(f.app.database());
        QVERIFY(reminders.load(Today));
        QStringList rows;
        for (const DueReminder &r : reminders.due())
            rows << QStringList{r.categoryName, r.contractNumber,           r.indicatorName, r.dateText, r.firstText,
                                r.secondText,   QString::number(r.daysLeft)}
                        .join(QLatin1Char('|'));
        QCOMPARE(rows, (QStringList{
                           "设备采购|" + QString::number(unnumbered) + "|到期日|2026-03-01|甲方：西南电力||-6",
                           "设备采购|C20260007|付款日|2026年3月8日|甲方：华东机械|乙方：远航贸易|1",
                           "房屋租赁|" + QString::number(lease) + "|租期届满|2026/3/10|承租方：张三||3",
                           "设备采购|C20260007|到期日|2026-03-20|甲方：华东机械|乙方：远航贸易|13",
                       }));
        // Two dates of one contract are one contract in the status bar's count.
        QCOMPARE(reminders.contractsDue(), 3);
        QVERIFY(numbered > 0);

        // Days ahead given for all (the command line's --days) replace each indicator's own.
        QVERIFY(reminders.load(Today, DueReminders::Options{2, false}));
        QCOMPARE(reminders.due().size(), 2);
    }

    // "已处理" holds for the contract, indicator and date it was given for: a changed date reminds again, and a
    // mark of a deleted contract does not stay behind.
    void doneHoldsForOneDate() {
        Fixture f;
        QVERIFY(f.build());
        const qint64 id = f.contract(Purchase, {{"Data5", "2026-03-20"}, {"Data6", "2026年3月8日"}});
        DueReminders reminders(f.app.database());
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 2);
        const DueReminder expiry = reminders.due().last();
        QCOMPARE(expiry.indicatorId, f.expiry);
        QString error;
        QVERIFY2(reminders.markDone(expiry, QDateTime(Today, QTime(9, 0)), &error), qPrintable(error));
        QVERIFY2(reminders.markDone(expiry, QDateTime(Today, QTime(9, 5)), &error), qPrintable(error));

        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 1);
        QCOMPARE(reminders.due().first().indicatorId, f.payment);
        QVERIFY(reminders.load(Today, DueReminders::Options{-1, true}));
        QCOMPARE(reminders.due().size(), 2);
        QVERIFY(reminders.due().last().done);
        QVERIFY(!reminders.due().first().done);
        QCOMPARE(reminders.contractsDue(), 1);

        // The same date written otherwise is the same date; another date reminds again.
        QVERIFY(f.app.exec(QStringLiteral("UPDATE TContractMain SET Data5=? WHERE ID=?"), {"2026年3月20日", id}));
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 1);
        QVERIFY(f.app.exec(QStringLiteral("UPDATE TContractMain SET Data5=? WHERE ID=?"), {"2026-03-21", id}));
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 2);
        QVERIFY(f.app.exec(QStringLiteral("UPDATE TContractMain SET Data5=? WHERE ID=?"), {"2026-03-20", id}));
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 1);

        QVERIFY(reminders.unmarkDone(expiry));
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 2);

        // A mark whose contract is gone is cleared by the next mark.
        QVERIFY(reminders.markDone(expiry, QDateTime(Today, QTime(9, 0))));
        QVERIFY(f.app.exec(QStringLiteral("DELETE FROM TContractMain WHERE ID=?"), {id}));
        const qint64 other = f.contract(Purchase, {{"Data5", "2026-03-09"}});
        QVERIFY(reminders.load(Today));
        QCOMPARE(reminders.due().size(), 1);
        QVERIFY(reminders.markDone(reminders.due().first(), QDateTime(Today, QTime(9, 0))));
        QCOMPARE(f.app.joined(QStringLiteral("SELECT ContractID FROM TDueDone")), QString::number(other));
    }
};

QTEST_GUILESS_MAIN(TestDueReminders)
#include "tst_duereminders.moc"
