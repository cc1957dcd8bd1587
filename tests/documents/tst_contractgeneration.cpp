// Contract document generation over the in-process office stand-in and a real database: preparation, the filling
// of markers, save and close.

#include "documents/BatchGeneration.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/ui/ContractDocumentWindow.h"
#include "office/StandInWordApp.h"
#include "platform/ScriptedMessages.h"
#include "store/ChangeHistory.h"
#include "support/TempAppFolder.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString Code = QStringLiteral("00010001");

// Every entry of a folder, hidden ones too, as "name=content" ("name/" for a folder), sorted.
QStringList folderListing(const QString &path) {
    QStringList entries;
    const QDir folder(path);
    for (const QFileInfo &info :
         folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name))
        entries << (info.isDir() ? QString(info.fileName() + QLatin1Char('/'))
                                 : QString(info.fileName() + QLatin1Char('=') + readText(info.filePath())));
    return entries;
}

// The same listing with %1 in the names and contents given the record's ID.
QStringList withId(const QStringList &entries, int id) {
    QStringList result;
    for (const QString &entry : entries)
        result << QString(entry).replace(QStringLiteral("%1"), QString::number(id));
    result.sort();
    return result;
}

} // namespace

class TestContractGeneration : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void fillsMarkers_data();
    void fillsMarkers();
    void generatedDocumentIsFilledOnDisk_data();
    void generatedDocumentIsFilledOnDisk();
    void existingDocumentOpenedUnchanged();
    void reopenAfterCloseWithoutSave();
    void regenerateTwiceChangesNothing();
    void refusals_data();
    void refusals();
    void saveFailureKeepsNotSaved();
    void contractFolderMissing();
    void windowClosesItselfWithoutTemplate();
    void windowGeneratesAndSaves();
    void windowWaitsForTheStartingOffice();
    void closeAsksWhenModified_data();
    void closeAsksWhenModified();
    void printAndMailFailures_data();
    void printAndMailFailures();
    void officeKeptInFrontOfOtherWindows();
    void exportPdf_data();
    void exportPdf();
    void batchGeneration();
    void batchInAnotherFolder_data();
    void batchInAnotherFolder();
    void pdfOfKeptDocuments_data();
    void pdfOfKeptDocuments();
    void batchMakesARecordGivenTwiceOnce();
    void batchOfManyRecords_data();
    void batchOfManyRecords();
    void batchReadsTheDatabaseOnItsOwnThread();
    void batchHistoryKeepsTheRowsAroundOneThatFails();

private:
    int addRecord(const QVariantList &values);
    QString contractPath(int id) const { return DocumentPaths::contractFile(id); }

    std::unique_ptr<TempAppFolder> mApp;
    ScriptedMessages mMessages;
    StandInWordApp mWord;
};

void TestContractGeneration::init() {
    mApp = std::make_unique<TempAppFolder>();
    QVERIFY(mApp->isValid());
    QVERIFY(mApp->addCategoryTree({{Code, QStringLiteral("房屋租赁合同")}}, QStringLiteral("房屋租赁")));
    // SortIdx order differs from the column order on purpose: 说明 comes before 甲方 and holds its marker.
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("说明"), 0, QStringLiteral("Data4"), 1) > 0);
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 2) > 0);
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("月租金"), 1, QStringLiteral("Data2"), 3, QString(),
                               QStringLiteral("99999999.99"), QStringLiteral("元")) > 0);
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("押金"), 1, QStringLiteral("Data3"), 4, QString(), QString(),
                               QStringLiteral("元")) > 0);
    QVERIFY(mApp->addIndicator(Code, QStringLiteral("Area=A"), 0, QStringLiteral("Data5"), 5, QString(), QString(),
                               QStringLiteral("㎡")) > 0);
    Messages::setInstance(&mMessages);
    mMessages.clear();
    mWord.quit();
    mWord.clearCalls();
    for (const char *op : {"connect", "open", "replace", "saveAs", "quit", "print", "sendMail"}) {
        mWord.setFailing(QLatin1String(op), false);
        mWord.setHanging(QLatin1String(op), false);
    }
}

void TestContractGeneration::cleanup() {
    mApp.reset();
}

int TestContractGeneration::addRecord(const QVariantList &values) {
    QVariantList binds{Code};
    binds << values;
    if (!mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1, Data2, Data3, Data4, Data5) "
                                   "VALUES (?, ?, ?, ?, ?, ?)"),
                    binds))
        return -1;
    return mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
}

void TestContractGeneration::fillsMarkers_data() {
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QVariantList>("values"); // Data1..Data5
    QTest::addColumn<QString>("expected");

    const QVariantList plain{QStringLiteral("张三"), QStringLiteral("3500.00"), QString(), QString(),
                             QStringLiteral("88")};
    QTest::newRow("value + unit, empty value gives the unit alone, no unit gives the value alone")
        << QStringLiteral("甲方：[<甲方>]，月租金[<月租金>]，押金[<押金>]。") << plain
        << QStringLiteral("甲方：张三，月租金3500.00元，押金元。");
    QTest::newRow("every occurrence, not only the first 13")
        << QStringLiteral("[<甲方>]").repeated(20) << plain << QStringLiteral("张三").repeated(20);
    QTest::newRow("letter case of the marker ignored")
        << QStringLiteral("面积[<AREA=a>]，[<area=A>]") << plain << QStringLiteral("面积88㎡，88㎡");
    QTest::newRow("deleted indicator's marker left as it is")
        << QStringLiteral("[<乙方>]与[<甲方>]") << plain << QStringLiteral("[<乙方>]与张三");
    QTest::newRow("value holding a later marker is filled in turn")
        << QStringLiteral("说明：[<说明>]")
        << QVariantList{QStringLiteral("李四"), QString(), QString(), QStringLiteral("由[<甲方>]承担，月付[<月租金>]"),
                        QString()}
        << QStringLiteral("说明：由李四承担，月付元");
    QTest::newRow("value text taken literally")
        << QStringLiteral("[<甲方>]")
        << QVariantList{QStringLiteral("A&B $1 \\n [<"), QString(), QString(), QString(), QString()}
        << QStringLiteral("A&B $1 \\n [<");
}

void TestContractGeneration::fillsMarkers() {
    QFETCH(QString, templateText);
    QFETCH(QVariantList, values);
    QFETCH(QString, expected);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), templateText));
    const int id = addRecord(values);
    QVERIFY(id > 0);

    ContractDocument document(mWord, QStringLiteral("caller's code"), contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    QCOMPARE(document.categoryCode(), Code);
    QCOMPARE(mWord.text(), expected);
    QVERIFY(mMessages.texts().isEmpty());
    QCOMPARE(document.markerPairs().size(), 5);
    QCOMPARE(document.markerPairs().first().marker, QStringLiteral("[<说明>]"));
    QVERIFY(!document.saved());
    QVERIFY(!document.raiseOffice());
}

void TestContractGeneration::generatedDocumentIsFilledOnDisk_data() {
    QTest::addColumn<bool>("fillFails");
    QTest::newRow("closed without 保存: the filled document stays") << false;
    QTest::newRow("a failed fill leaves no document") << true;
}

void TestContractGeneration::generatedDocumentIsFilledOnDisk() {
    // A contract document on disk is never an unfilled copy of the template: the next opening would show it as
    // the contract, markers and all.
    QFETCH(bool, fillFails);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方：[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const QString path = contractPath(id);
    QCOMPARE(path, mApp->file(QStringLiteral("DB/ContractFile/%1.Doc").arg(id)));
    mWord.setFailing(QStringLiteral("replace"), fillFails);
    {
        ContractDocument document(mWord, Code, path, id);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        if (fillFails) {
            QVERIFY(!QFile::exists(path));
            QCOMPARE(mMessages.texts().size(), 1);
            QVERIFY(mMessages.lastText().startsWith(QStringLiteral("生成合同文档时发生错误")));
        } else {
            QCOMPARE(readText(path), QStringLiteral("甲方：张三"));
            QVERIFY(mMessages.texts().isEmpty());
        }
        QVERIFY(!document.saved());
        QVERIFY(document.canClose());
        document.close();
    }
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
             fillFails ? QStringList() : QStringList{QFileInfo(path).fileName()});

    // The next opening: the filled document as it is, or a new generation.
    mWord.setFailing(QStringLiteral("replace"), false);
    ContractDocument again(mWord, Code, path, id);
    QCOMPARE(again.prepare(),
             fillFails ? ContractDocument::Preparation::Generated : ContractDocument::Preparation::Opened);
    QCOMPARE(mWord.text(), QStringLiteral("甲方：张三"));
    QCOMPARE(readText(path), QStringLiteral("甲方：张三"));
}

void TestContractGeneration::existingDocumentOpenedUnchanged() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("模板[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    QVERIFY(writeText(contractPath(id), QStringLiteral("已改过的合同[<甲方>]")));

    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Opened);
    QCOMPARE(mWord.text(), QStringLiteral("已改过的合同[<甲方>]"));
    QCOMPARE(mWord.callCount(QStringLiteral("replace")), 0);
}

void TestContractGeneration::reopenAfterCloseWithoutSave() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    {
        ContractDocument first(mWord, Code, contractPath(id), id);
        QCOMPARE(first.prepare(), ContractDocument::Preparation::Generated);
        first.close();
    }
    ContractDocument second(mWord, Code, contractPath(id), id);
    QCOMPARE(second.prepare(), ContractDocument::Preparation::Opened);
    QCOMPARE(mWord.text(), QStringLiteral("甲方张三"));
    QVERIFY(second.regenerate());
    QCOMPARE(mWord.text(), QStringLiteral("甲方张三"));
}

void TestContractGeneration::regenerateTwiceChangesNothing() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    QVERIFY(mApp->exec(QStringLiteral("UPDATE TContractMain SET Data1='王五' WHERE ID=?"), {id}));
    QVERIFY(document.regenerate());
    QCOMPARE(mWord.text(), QStringLiteral("甲方张三"));
}

void TestContractGeneration::refusals_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("expectedPreparation");
    QTest::addColumn<QString>("expectedMessage");
    QTest::addColumn<bool>("closes");

    QTest::newRow("category without template") << "no template" << int(ContractDocument::Preparation::NoTemplate)
                                               << QStringLiteral("选定合同类型的模板文件尚未创建！") << true;
    QTest::newRow("category without indicators") << "no indicators" << int(ContractDocument::Preparation::Generated)
                                                 << QStringLiteral("选定合同对应的合同参数已经不存在！") << false;
    QTest::newRow("record gone") << "no record" << int(ContractDocument::Preparation::Failed)
                                 << QStringLiteral("读取数据库发生错误！") << false;
    QTest::newRow("office unreachable") << "no office" << int(ContractDocument::Preparation::Failed)
                                        << QStringLiteral("可能您的系统中尚未安装Microsoft Word 办公软件") << false;
}

void TestContractGeneration::refusals() {
    QFETCH(QString, situation);
    QFETCH(int, expectedPreparation);
    QFETCH(QString, expectedMessage);
    QFETCH(bool, closes);

    const QString templateText = QStringLiteral("甲方[<甲方>]");
    if (situation != QLatin1String("no template"))
        QVERIFY(writeText(DocumentPaths::templateFile(Code), templateText));
    if (situation == QLatin1String("no indicators"))
        QVERIFY(mApp->exec(QStringLiteral("DELETE FROM TDataPara")));
    if (situation == QLatin1String("no office"))
        mWord.setFailing(QStringLiteral("connect"));
    int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    if (situation == QLatin1String("no record"))
        id += 1;

    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(int(document.prepare()), expectedPreparation);
    QCOMPARE(mMessages.texts(), QStringList{expectedMessage});
    QCOMPARE(document.closeRequested(), closes);
    QCOMPARE(document.raiseOffice(), closes);
    if (situation == QLatin1String("no indicators"))
        QCOMPARE(mWord.text(), templateText);
    if (closes) {
        QVERIFY(!mWord.isConnected());
        QVERIFY(!QFile::exists(contractPath(id)));
    }
}

void TestContractGeneration::saveFailureKeepsNotSaved() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    mWord.setFailing(QStringLiteral("saveAs"));
    QVERIFY(!document.save());
    QVERIFY(!document.saved());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("保存文件发生错误")});
}

void TestContractGeneration::contractFolderMissing() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("[<甲方>]")));
    QVERIFY(QDir(mApp->file(QStringLiteral("DB/ContractFile"))).removeRecursively());
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    QCOMPARE(readText(contractPath(id)), QStringLiteral("张三"));
    QCOMPARE(mWord.text(), QStringLiteral("张三"));
}

void TestContractGeneration::windowClosesItselfWithoutTemplate() {
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    ContractDocumentWindow form(Code, contractPath(id), id, std::make_unique<StandInWordApp>());
    QCOMPARE(form.windowTitle(), QStringLiteral("合同编辑"));
    QCOMPARE(form.width(), 110);
    QVERIFY(!form.timer()->isActive());
    form.show();
    QTRY_VERIFY(form.document().closeRequested());
    QCOMPARE(mMessages.texts(), QStringList{QStringLiteral("选定合同类型的模板文件尚未创建！")});
    QVERIFY(form.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 3000);
    QVERIFY(!form.document().saved());
}

void TestContractGeneration::windowGeneratesAndSaves() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    ContractDocumentWindow form(Code, contractPath(id), id, std::move(word));
    const QStringList names{QStringLiteral("regenerateButton"), QStringLiteral("saveButton"),
                            QStringLiteral("printButton"), QStringLiteral("sendMailButton"),
                            QStringLiteral("closeButton")};
    const QStringList captions{QStringLiteral("重新生成"), QStringLiteral("保存"), QStringLiteral("打印"),
                               QStringLiteral("电子邮件"), QStringLiteral("关闭")};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(form.findChild<QPushButton *>(names.at(i))->text(), captions.at(i));
    auto *hint = form.findChild<QLabel *>(QStringLiteral("lblHint"));
    QVERIFY(hint && hint->isHidden());
    QCOMPARE(hint->text(), QStringLiteral("正在生成合同......"));

    form.show();
    QTRY_COMPARE(office->text(), QStringLiteral("甲方张三"));
    QVERIFY(hint->isHidden());
    QTRY_VERIFY(office->callCount(QStringLiteral("bringToFront")) >= 2);

    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("saveButton")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QVERIFY(form.document().saved());
    QCOMPARE(readText(contractPath(id)), QStringLiteral("甲方张三"));
    QCOMPARE(office->callCount(QStringLiteral("quit")), 1);
}

void TestContractGeneration::windowWaitsForTheStartingOffice() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    office->setStartingPolls(20);
    ContractDocumentWindow form(Code, contractPath(id), id, std::move(word));
    auto *hint = form.findChild<QLabel *>(QStringLiteral("lblHint"));
    QVERIFY(hint);

    // While the office comes up the window answers events (this timer runs), says that it waits, and has not
    // asked the office for anything yet.
    bool sawWaiting = false;
    bool connectedEarly = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!hint->isVisible() || hint->text() != QStringLiteral("正在启动办公软件，请稍候......"))
            return;
        const QCursor *cursor = QGuiApplication::overrideCursor();
        sawWaiting = sawWaiting || (cursor && cursor->shape() == Qt::BusyCursor);
        connectedEarly = connectedEarly || office->callCount(QStringLiteral("connect")) > 0;
    });
    probe.start(5);
    form.show();
    QTRY_VERIFY(sawWaiting);
    QVERIFY(!connectedEarly);

    // Then it generates as always, the hint back to its own text and the cursor to normal.
    QTRY_COMPARE(office->text(), QStringLiteral("甲方张三"));
    QVERIFY(hint->isHidden());
    QCOMPARE(hint->text(), QStringLiteral("正在生成合同......"));
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestContractGeneration::closeAsksWhenModified_data() {
    QTest::addColumn<QString>("how"); // "关闭", Esc or the close box
    QTest::addColumn<bool>("edited"); // the user changed the document in the office
    QTest::addColumn<int>("answer");  // Messages::SaveChoice, when asked
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("onDisk");

    const int save = int(Messages::SaveChoice::Save);
    const int discard = int(Messages::SaveChoice::Discard);
    const int cancel = int(Messages::SaveChoice::Cancel);
    QTest::newRow("unchanged, 关闭: closes without a question")
        << "button" << false << -1 << true << QStringLiteral("甲方张三");
    QTest::newRow("changed, 关闭, 保存") << "button" << true << save << true << QStringLiteral("甲方张三，已改");
    QTest::newRow("changed, Esc, 不保存") << "escape" << true << discard << true << QStringLiteral("甲方张三");
    QTest::newRow("changed, close box, 取消: stays open")
        << "closebox" << true << cancel << false << QStringLiteral("甲方张三");
}

void TestContractGeneration::closeAsksWhenModified() {
    QFETCH(QString, how);
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(QString, onDisk);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    ContractDocumentWindow form(Code, contractPath(id), id, std::move(word));
    form.show();
    QTRY_COMPARE(office->text(), QStringLiteral("甲方张三"));
    if (edited)
        office->setText(QStringLiteral("甲方张三，已改"));
    if (answer >= 0)
        mMessages.answerSaveQuestion(Messages::SaveChoice(answer));

    if (how == QLatin1String("button"))
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(&form, Qt::Key_Escape);
    else
        form.close();

    QCOMPARE(mMessages.texts(), edited ? QStringList{QStringLiteral("合同文档已经修改，是否保存？")} : QStringList());
    QCOMPARE(mMessages.unexpected(), 0);
    QCOMPARE(form.isVisible(), !closes);
    QCOMPARE(office->callCount(QStringLiteral("quit")), closes ? 1 : 0);
    QCOMPARE(readText(contractPath(id)), onDisk);
    QCOMPARE(!form.document().saved(), answer != int(Messages::SaveChoice::Save));
    if (!closes) {
        // Staying open keeps the edits in the office; a later 不保存 closes.
        QCOMPARE(office->text(), QStringLiteral("甲方张三，已改"));
        mMessages.answerSaveQuestion(Messages::SaveChoice::Discard);
        form.close();
        QVERIFY(!form.isVisible());
    }
}

void TestContractGeneration::printAndMailFailures_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("hangs");
    QTest::newRow("print fails") << "print"
                                 << "printButton" << false;
    QTest::newRow("print hangs until the watchdog ends the office") << "print"
                                                                    << "printButton" << true;
    QTest::newRow("e-mail fails") << "sendMail"
                                  << "sendMailButton" << false;
    QTest::newRow("e-mail hangs until the watchdog ends the office") << "sendMail"
                                                                     << "sendMailButton" << true;
}

void TestContractGeneration::printAndMailFailures() {
    QFETCH(QString, operation);
    QFETCH(QString, button);
    QFETCH(bool, hangs);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    ContractDocumentWindow form(Code, contractPath(id), id, std::move(word));
    form.show();
    QTRY_COMPARE(office->text(), QStringLiteral("甲方张三"));
    if (hangs)
        office->setHanging(operation);
    else
        office->setFailing(operation);

    QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton);
    // The office's own reason, in a message box; the window stays and still closes.
    QCOMPARE(mMessages.shown().size(), 1);
    QCOMPARE(mMessages.shown().first().kind, ScriptedMessages::Kind::Warning);
    QVERIFY2(mMessages.lastText().contains(operation), qPrintable(mMessages.lastText()));
    if (hangs)
        QVERIFY(mMessages.lastText().contains(QStringLiteral("没有响应")));
    QVERIFY(form.isVisible());
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(readText(contractPath(id)), QStringLiteral("甲方张三"));
}

void TestContractGeneration::officeKeptInFrontOfOtherWindows() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("mainWindow"));
    mainWindow.show();
    auto word = std::make_unique<StandInWordApp>();
    StandInWordApp *office = word.get();
    ContractDocumentWindow form(Code, contractPath(id), id, std::move(word));
    form.show();
    QTRY_COMPARE(office->text(), QStringLiteral("甲方张三"));
    QTRY_VERIFY(!form.timer()->isActive());
    office->clearCalls();

    // A click in the main window activates it (or, while the tool window blocks it, the tool window).
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&mainWindow, &activate);
    QTRY_COMPARE(office->callCount(QStringLiteral("bringToFront")), 1);

    // A message box, even one without a parent, is to be answered: the office window does not cover it.
    QDialog box;
    box.show();
    QApplication::sendEvent(&box, &activate);
    QTest::qWait(300);
    QCOMPARE(office->callCount(QStringLiteral("bringToFront")), 1);
    box.hide();

    // Once the tool window is gone, nothing is raised any more.
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    office->clearCalls();
    QApplication::sendEvent(&mainWindow, &activate);
    QTest::qWait(300);
    QCOMPARE(office->callCount(QStringLiteral("bringToFront")), 0);
}

void TestContractGeneration::exportPdf_data() {
    QTest::addColumn<QString>("number"); // the numbering indicator's value, "" for a category without one
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<bool>("fails");
    QTest::newRow("contract number") << "FZ20261210001"
                                     << "FZ20261210001.pdf" << false;
    QTest::newRow("number with characters no file name takes") << "HT/2026:07"
                                                               << "HT_2026_07.pdf" << false;
    QTest::newRow("no numbering indicator: the record's ID") << ""
                                                             << "<ID>.pdf" << false;
    QTest::newRow("the office fails: no file left") << "FZ1"
                                                    << "FZ1.pdf" << true;
}

void TestContractGeneration::exportPdf() {
    QFETCH(QString, number);
    QFETCH(QString, proposed);
    QFETCH(bool, fails);
    if (!number.isEmpty()) {
        QVERIFY(mApp->addIndicator(Code, QStringLiteral("合同编号"), 0, QStringLiteral("Data6"), 6,
                                   QStringLiteral("[GETBILLID]{FZ[YYYY][MM][DD][III]}")) > 0);
    }
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    QVERIFY(mApp->exec(QStringLiteral("UPDATE TContractMain SET Data6=? WHERE ID=?"), {number, id}));
    proposed.replace(QStringLiteral("<ID>"), QString::number(id));

    ContractDocument document(mWord, Code, contractPath(id), id);
    QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
    QCOMPARE(document.pdfFileName(), proposed);
    mMessages.clear();

    // Cancelled: nothing is written.
    document.exportPdf();
    QCOMPARE(mMessages.details().value(0),
             QFileInfo(mMessages.details().value(0)).absolutePath() + QLatin1Char('/') + proposed);
    QCOMPARE(mWord.callCount(QStringLiteral("exportPdf")), 0);

    const QString pdf = mApp->file(QStringLiteral("导出.pdf"));
    mWord.setFailing(QStringLiteral("exportPdf"), fails);
    mMessages.answerFileName(pdf);
    document.exportPdf();
    QCOMPARE(mWord.callCount(QStringLiteral("exportPdf")), 1);
    if (fails) {
        QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
        QVERIFY(!QFile::exists(pdf));
    } else {
        QCOMPARE(readText(pdf), QStringLiteral("%PDF-stand-in\n甲方张三"));
        QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::SaveFile);
    }
    mWord.setFailing(QStringLiteral("exportPdf"), false);
}

void TestContractGeneration::batchGeneration() {
    using Kind = BatchGeneration::Result::Kind;
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int fresh = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const int existing = addRecord({QStringLiteral("李四"), QString(), QString(), QString(), QString()});
    QVERIFY(writeText(contractPath(existing), QStringLiteral("已经改过的文档")));
    const QString other = QStringLiteral("00010002");
    QVERIFY(mApp->addCategory(other, QStringLiteral("没有模板的合同"), QStringLiteral("0001")));
    QVERIFY(mApp->addIndicator(other, QStringLiteral("甲方"), 0, QStringLiteral("Data1"), 1) > 0);
    QVERIFY(mApp->exec(QStringLiteral("INSERT INTO TContractMain (MainTypeCode, Data1) VALUES (?, '王五')"), {other}));
    const int noTemplate = mApp->scalar(QStringLiteral("SELECT max(ID) FROM TContractMain")).toInt();
    const auto leftovers = [&] {
        return QDir(QFileInfo(contractPath(fresh)).absolutePath())
            .entryList({QStringLiteral("*batch*")}, QDir::Files | QDir::Hidden);
    };

    // Existing documents skipped; a category without a template reported while the others go on.
    BatchGeneration skip(mApp->database(), mWord, {});
    QList<BatchGeneration::Result> results;
    for (int id : {fresh, existing, noTemplate})
        results << skip.run(id);
    QCOMPARE(results.at(0).kind, Kind::Generated);
    QCOMPARE(readText(contractPath(fresh)), QStringLiteral("甲方张三"));
    QCOMPARE(results.at(1).kind, Kind::Skipped);
    QCOMPARE(readText(contractPath(existing)), QStringLiteral("已经改过的文档"));
    QCOMPARE(results.at(2).kind, Kind::Failed);
    QVERIFY2(results.at(2).reason.contains(QStringLiteral("模板文件尚未创建")), qPrintable(results.at(2).reason));
    QCOMPARE(BatchGeneration::summary(results).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("已生成 1 份，跳过 1 份，失败 1 份。"));
    QVERIFY(mMessages.texts().isEmpty()); // nothing shown during the batch
    QCOMPARE(leftovers(), QStringList());

    // Made again on request, with a PDF beside it.
    BatchGeneration again(mApp->database(), mWord, {true, true, QString()});
    const BatchGeneration::Result regenerated = again.run(existing);
    QCOMPARE(regenerated.kind, Kind::Generated);
    QCOMPARE(readText(contractPath(existing)), QStringLiteral("甲方李四"));
    QVERIFY(QFile::exists(QFileInfo(contractPath(existing)).absolutePath() + QStringLiteral("/%1.pdf").arg(existing)));

    // A document open in a window is never overwritten; once the window is closed it is made again. So is one
    // another office has open; a lock left by a program that has ended does not count.
    {
        StandInWordApp windowWord;
        ContractDocument window(windowWord, Code, contractPath(existing), existing);
        QCOMPARE(window.prepare(), ContractDocument::Preparation::Opened);
        const BatchGeneration::Result skipped = again.run(existing);
        QCOMPARE(skipped.kind, Kind::Skipped);
        // The summary says who holds the lock and where it is, so a lock that stays can be found.
        QVERIFY2(skipped.reason.startsWith(QStringLiteral("合同文档正在窗口中打开，没有覆盖（")) &&
                     skipped.reason.contains(QStringLiteral(".~lock.%1.Doc#").arg(existing)),
                 qPrintable(skipped.reason));
        window.close();
        QCOMPARE(again.run(existing).kind, Kind::Generated);
    }
    const QString lock =
        QFileInfo(contractPath(existing)).absolutePath() + QStringLiteral("/.~lock.%1.Doc#").arg(existing);
    QVERIFY(writeText(
        lock, QStringLiteral("王五,wangwu,办公室电脑,10.12.2026 09:30,file:///home/wangwu/.config/libreoffice/4;")));
    const BatchGeneration::Result inOffice = again.run(existing);
    QCOMPARE(inOffice.kind, Kind::Skipped);
    QVERIFY2(inOffice.reason.contains(QStringLiteral("王五 于 10.12.2026 09:30 在 办公室电脑 上打开")),
             qPrintable(inOffice.reason));
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    QVERIFY(writeText(
        lock, QStringLiteral("u,%1,u,10.12.2026 09:30,vantrel:%2@%1;").arg(QSysInfo::machineHostName()).arg(endedPid)));
    QCOMPARE(again.run(existing).kind, Kind::Generated);
    QFile::remove(lock);

    // A save that fails leaves the earlier document as it was and nothing half-written.
    QVERIFY(writeText(contractPath(existing), QStringLiteral("已经改过的文档")));
    mWord.setFailing(QStringLiteral("saveAs"));
    QCOMPARE(again.run(existing).kind, Kind::Failed);
    mWord.setFailing(QStringLiteral("saveAs"), false);
    QCOMPARE(readText(contractPath(existing)), QStringLiteral("已经改过的文档"));
    QCOMPARE(leftovers(), QStringList());

    // Another folder: the documents go there, DB/ContractFile stays as it is.
    QTemporaryDir out;
    BatchGeneration elsewhere(mApp->database(), mWord, {false, false, out.path()});
    QCOMPARE(elsewhere.run(fresh).kind, Kind::Generated);
    QCOMPARE(readText(out.filePath(QStringLiteral("%1.Doc").arg(fresh))), QStringLiteral("甲方张三"));
}

void TestContractGeneration::batchInAnotherFolder_data() {
    using Kind = BatchGeneration::Result::Kind;
    QTest::addColumn<QStringList>("before"); // "name=content", "name/" for a folder
    QTest::addColumn<bool>("regenerate");
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<bool>("exportFails");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("after");
    const QString made = QStringLiteral("%1.Doc=甲方张三");
    const QString madePdf = QStringLiteral("%1.pdf=%PDF-stand-in\n甲方张三");
    const QString usersOdt = QStringLiteral("%1.odt=用户自己的文档");
    const QString usersPdf = QStringLiteral("%1.pdf=用户自己的PDF");
    QTest::newRow("the user's document in another format is no reason to skip")
        << QStringList{usersOdt} << false << false << false << Kind::Generated << QStringList{made, usersOdt};
    QTest::newRow("nor is it deleted by 重新生成")
        << QStringList{usersOdt} << true << false << false << Kind::Generated << QStringList{made, usersOdt};
    QTest::newRow("a document in the batch's format is kept")
        << QStringList{QStringLiteral("%1.Doc=上次生成的")} << false << false << false << Kind::Skipped
        << QStringList{QStringLiteral("%1.Doc=上次生成的")};
    QTest::newRow("a PDF is replaced only by a complete one")
        << QStringList{usersPdf} << false << true << false << Kind::Generated << QStringList{made, madePdf};
    QTest::newRow("a failed PDF leaves the user's PDF")
        << QStringList{usersPdf} << false << true << true << Kind::Failed << QStringList{usersPdf};
    // The document cannot take its place (a folder has its name): no PDF of it is left behind.
    QTest::newRow("no PDF without its document") << QStringList{QStringLiteral("%1.Doc/")} << false << true << false
                                                 << Kind::Failed << QStringList{QStringLiteral("%1.Doc/")};
    // Files another batch is making in the same folder under the names a batch once used for every record.
    const QStringList otherBatch{QStringLiteral(".batch-%1.Doc=另一批次正在生成"),
                                 QStringLiteral("~.batch-%1.Doc=另一批次的模板副本"),
                                 QStringLiteral(".batch-%1.pdf=另一批次的PDF")};
    QTest::newRow("another batch's files are not taken")
        << otherBatch << false << true << false << Kind::Generated << (QStringList{made, madePdf} + otherBatch);
}

void TestContractGeneration::batchInAnotherFolder() {
    using Kind = BatchGeneration::Result::Kind;
    QFETCH(QStringList, before);
    QFETCH(bool, regenerate);
    QFETCH(bool, pdf);
    QFETCH(bool, exportFails);
    QFETCH(Kind, kind);
    QFETCH(QStringList, after);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    QTemporaryDir out;
    for (const QString &entry : withId(before, id)) {
        if (entry.endsWith(QLatin1Char('/')))
            QVERIFY(QDir(out.path()).mkdir(entry.chopped(1)));
        else
            QVERIFY(writeText(out.filePath(entry.section(QLatin1Char('='), 0, 0)), entry.section(QLatin1Char('='), 1)));
    }
    mWord.setFailing(QStringLiteral("exportPdf"), exportFails);
    BatchGeneration batch(mApp->database(), mWord, {regenerate, pdf, out.path()});
    const BatchGeneration::Result result = batch.run(id);
    mWord.setFailing(QStringLiteral("exportPdf"), false);
    QVERIFY2(result.kind == kind, qPrintable(result.reason));
    QCOMPARE(folderListing(out.path()), withId(after, id));
    QCOMPARE(result.pdf.isEmpty(), !after.contains(QStringLiteral("%1.pdf=%PDF-stand-in\n甲方张三")));
    // DB/ContractFile is not the batch's place this time.
    QCOMPARE(folderListing(QFileInfo(contractPath(id)).absolutePath()), QStringList());
}

void TestContractGeneration::pdfOfKeptDocuments_data() {
    QTest::addColumn<bool>("elsewhere");
    QTest::addColumn<QString>("lock"); // the lock file's line, empty for none
    QTest::addColumn<bool>("exportFails");
    QTest::addColumn<QString>("pdf");        // the PDF's content afterwards, empty for none
    QTest::addColumn<QString>("pdfSummary"); // the summary's second line
    const QString exported = QStringLiteral("%PDF-stand-in\n已经改过的文档");
    QTest::newRow("kept in DB/ContractFile")
        << false << QString() << false << exported << QStringLiteral("已导出PDF文件 2 份。");
    QTest::newRow("kept in another folder")
        << true << QString() << false << exported << QStringLiteral("已导出PDF文件 2 份。");
    QTest::newRow("open in an office")
        << false << QStringLiteral("王五,wangwu,办公室电脑,10.12.2026 09:30,file:///home/wangwu/.config/libreoffice/4;")
        << false << QString() << QStringLiteral("已导出PDF文件 1 份，1 份没有导出。");
    QTest::newRow("export fails") << false << QString() << true << QString()
                                  << QStringLiteral("已导出PDF文件 0 份，2 份没有导出。");
}

void TestContractGeneration::pdfOfKeptDocuments() {
    using Kind = BatchGeneration::Result::Kind;
    QFETCH(bool, elsewhere);
    QFETCH(QString, lock);
    QFETCH(bool, exportFails);
    QFETCH(QString, pdf);
    QFETCH(QString, pdfSummary);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int fresh = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const int kept = addRecord({QStringLiteral("李四"), QString(), QString(), QString(), QString()});
    QTemporaryDir out;
    const QString folder = elsewhere ? out.path() : QFileInfo(contractPath(kept)).absolutePath();
    const QString document = folder + QStringLiteral("/%1.Doc").arg(kept);
    QVERIFY(writeText(document, QStringLiteral("已经改过的文档")));
    if (!lock.isEmpty())
        QVERIFY(writeText(folder + QStringLiteral("/.~lock.%1.Doc#").arg(kept), lock));
    const QList<BatchGeneration::Result> results =
        BatchGeneration::runAll(mApp->database(), {fresh, kept}, {false, true, elsewhere ? out.path() : QString()},
                                [exportFails] {
                                    auto word = std::make_unique<StandInWordApp>();
                                    word->setFailing(QStringLiteral("exportPdf"), exportFails);
                                    return word;
                                },
                                1, {});
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).kind, exportFails ? Kind::Failed : Kind::Generated);
    const BatchGeneration::Result &result = results.at(1);
    QCOMPARE(result.kind, Kind::Skipped);
    // The document itself stays as it was; its PDF is made from it.
    QCOMPARE(readText(document), QStringLiteral("已经改过的文档"));
    const QString pdfFile = folder + QStringLiteral("/%1.pdf").arg(kept);
    QCOMPARE(readText(pdfFile), pdf);
    QCOMPARE(result.pdf, pdf.isEmpty() ? QString() : pdfFile);
    QCOMPARE(result.pdfError.isEmpty(), !pdf.isEmpty());
    const QString summary = BatchGeneration::summary(results);
    QCOMPARE(summary.section(QLatin1Char('\n'), 1, 1), pdfSummary);
    if (!lock.isEmpty())
        QVERIFY2(summary.contains(QStringLiteral("王五")), qPrintable(summary));
    QCOMPARE(QDir(folder).entryList({QStringLiteral("*batch*")}, QDir::Files | QDir::Hidden), QStringList());
}

void TestContractGeneration::batchMakesARecordGivenTwiceOnce() {
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int first = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const int second = addRecord({QStringLiteral("李四"), QString(), QString(), QString(), QString()});
    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        mApp->database(), {first, first, second, first}, {}, [] { return std::make_unique<StandInWordApp>(); }, 2, {});
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).recordId, first);
    QCOMPARE(results.at(1).recordId, second);
    for (const BatchGeneration::Result &result : results)
        QVERIFY2(result.kind == BatchGeneration::Result::Kind::Generated, qPrintable(result.reason));
    QCOMPARE(readText(contractPath(first)), QStringLiteral("甲方张三"));
    QCOMPARE(BatchGeneration::summary(results, 2).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("已生成 2 份，跳过 0 份，失败 0 份。"));
}

void TestContractGeneration::batchOfManyRecords_data() {
    QTest::addColumn<bool>("elsewhere");
    QTest::addColumn<bool>("regenerate");
    QTest::addColumn<QStringList>("after"); // the documents' folder, %a, %b and %c standing for the records' IDs
    const QString a = QStringLiteral("%a.Doc=甲方张三");
    const QString c = QStringLiteral("%c.Doc=甲方王五");
    const QString keptB = QStringLiteral("%b.DOC=上次的文档");
    QTest::newRow("DB/ContractFile, kept") << false << false << QStringList{a, keptB, c};
    QTest::newRow("DB/ContractFile, made again")
        << false << true << QStringList{a, QStringLiteral("%b.Doc=甲方李四"), c};
    QTest::newRow("another folder, kept") << true << false << QStringList{a, keptB, c};
}

void TestContractGeneration::batchOfManyRecords() {
    // Records read together and made side by side: each document gets its own record's values, a record that is
    // gone fails alone, and a document under another letter case is found as the record's document.
    using Kind = BatchGeneration::Result::Kind;
    QFETCH(bool, elsewhere);
    QFETCH(bool, regenerate);
    QFETCH(QStringList, after);
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int a = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const int b = addRecord({QStringLiteral("李四"), QString(), QString(), QString(), QString()});
    const int c = addRecord({QStringLiteral("王五"), QString(), QString(), QString(), QString()});
    const int gone = addRecord({QStringLiteral("赵六"), QString(), QString(), QString(), QString()});
    QVERIFY(mApp->exec(QStringLiteral("DELETE FROM TContractMain WHERE ID=?"), {gone}));
    QTemporaryDir out;
    const QString folder = elsewhere ? out.path() : QFileInfo(contractPath(a)).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeText(folder + QStringLiteral("/%1.DOC").arg(b), QStringLiteral("上次的文档")));
    // The workers never reach for the database (its connection belongs to this thread), history included.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("does not belong to the calling thread")));

    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        mApp->database(), {c, gone, a, b}, {regenerate, false, elsewhere ? out.path() : QString()},
        [] { return std::make_unique<StandInWordApp>(); }, 2, {});
    QCOMPARE(results.size(), 4);
    const QList<int> order{c, gone, a, b};
    const QList<Kind> kinds{Kind::Generated, Kind::Failed, Kind::Generated,
                            regenerate ? Kind::Generated : Kind::Skipped};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(results.at(i).recordId, order.at(i));
        QVERIFY2(results.at(i).kind == kinds.at(i), qPrintable(results.at(i).reason));
    }
    QCOMPARE(results.at(1).reason, QStringLiteral("读取数据库发生错误！"));
    if (!regenerate)
        QCOMPARE(results.at(3).reason, QStringLiteral("合同文档已经存在"));
    QStringList expected;
    for (const QString &entry : after)
        expected << QString(entry)
                        .replace(QStringLiteral("%a"), QString::number(a))
                        .replace(QStringLiteral("%b"), QString::number(b))
                        .replace(QStringLiteral("%c"), QString::number(c));
    expected.sort();
    QCOMPARE(folderListing(folder), expected);

    // One history row per document made in DB/ContractFile, with its category and the digest of the file.
    QStringList rows;
    for (int i = 0; i < 4; ++i) {
        if (!elsewhere && kinds.at(i) == Kind::Generated)
            rows << QStringLiteral("%1|%2|%3")
                        .arg(order.at(i))
                        .arg(Code, ChangeHistory::fileSha256(results.at(i).document));
    }
    QCOMPARE(mApp->joined(QStringLiteral("SELECT RecordID || '|' || MainTypeCode || '|' || DocumentSha256 FROM "
                                         "TChangeLog WHERE Action=? ORDER BY ID"),
                          {ChangeHistory::DocumentGenerated}),
             rows.join(QLatin1Char(',')));
}

void TestContractGeneration::batchReadsTheDatabaseOnItsOwnThread() {
    // The category's indicators cannot be read: the record's document is not made, and nothing tries the
    // database from the batch's workers (its connection belongs to this thread).
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int id = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    QVERIFY(mApp->exec(QStringLiteral("ALTER TABLE TDataPara RENAME TO TDataParaGone")));
    QTest::failOnWarning(QRegularExpression(QStringLiteral("does not belong to the calling thread")));
    const QList<BatchGeneration::Result> results =
        BatchGeneration::runAll(mApp->database(), {id}, {}, [] { return std::make_unique<StandInWordApp>(); }, 1, {});
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.first().kind, BatchGeneration::Result::Kind::Failed);
    QCOMPARE(results.first().reason, QStringLiteral("读取数据库发生错误！"));
    QVERIFY(DocumentPaths::existingDocument(contractPath(id)).isEmpty());
}

void TestContractGeneration::batchHistoryKeepsTheRowsAroundOneThatFails() {
    // The rows of a batch are written together; one that cannot be written costs that row alone.
    QVERIFY(writeText(DocumentPaths::templateFile(Code), QStringLiteral("甲方[<甲方>]")));
    const int a = addRecord({QStringLiteral("张三"), QString(), QString(), QString(), QString()});
    const int b = addRecord({QStringLiteral("李四"), QString(), QString(), QString(), QString()});
    const int c = addRecord({QStringLiteral("王五"), QString(), QString(), QString(), QString()});
    QVERIFY(mApp->refuseChanges(QStringLiteral("TChangeLog"), QStringLiteral("INSERT"),
                                QStringLiteral("NEW.RecordID=%1").arg(b)));
    const QList<BatchGeneration::Result> results = BatchGeneration::runAll(
        mApp->database(), {a, b, c}, {}, [] { return std::make_unique<StandInWordApp>(); }, 2, {});
    QCOMPARE(results.size(), 3);
    for (const BatchGeneration::Result &result : results)
        QVERIFY2(result.kind == BatchGeneration::Result::Kind::Generated, qPrintable(result.reason));
    QCOMPARE(mApp->joined(QStringLiteral("SELECT RecordID FROM TChangeLog WHERE Action=? ORDER BY ID"),
                          {ChangeHistory::DocumentGenerated}),
             QStringLiteral("%1,%2").arg(a).arg(c));
}

QTEST_MAIN(TestContractGeneration)
#include "tst_contractgeneration.moc"
