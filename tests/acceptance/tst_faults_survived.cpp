// Faults the program survives: the office killed while a contract document is generated or saved, and a full or
// read-only disk under a backup, a template save, a contract document save and an import.

#include "acceptance/AcceptanceSupport.h"

#include "app/admin/AdminCommands.h"
#include "contracts/ContractEntry.h"
#include "documents/ContractDocument.h"
#include "documents/DocumentPaths.h"
#include "documents/TemplateEditor.h"
#include "documents/ui/ContractDocumentWindow.h"
#include "exchange/import/ContractImport.h"
#include "office/LibreOfficeWordApp.h"
#include "platform/Clipboard.h"
#include "platform/ScriptedMessages.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "support/Processes.h"
#include "text/TextHelpers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <sched.h>
#include <sys/mount.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString Child = u"00010001"_s;

// Calls a function when the watched widget is shown.
class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(std::function<void()> onShow)
        : mOnShow(std::move(onShow)) {}
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Show && mOnShow)
            std::exchange(mOnShow, {})();
        return false;
    }

private:
    std::function<void()> mOnShow;
};

// The office processes this test process started, found by the pipe name each office gets (it holds our pid).
QStringList officePids() {
    return processesWith(u"pipe,name=vantrel-%1-"_s.arg(QCoreApplication::applicationPid()));
}

} // namespace

class TestFaultsSurvived : public QObject {
    Q_OBJECT

    ScriptedMessages mMessages;
    MemoryClipboard mClipboard;
    QTemporaryDir mDir;
    QString mApp;          // the application folder, with its trailing separator
    bool mMounted = false; // the application folder lies on a small file system of its own
    QString mMountError;
    QString mTemplateText;

    int addRecord(const QString &landlord, const QString &rent);
    QString documentText(const QString &path);
    QStringList tables() const;
    bool fillDisk();
    bool setReadOnly(const QString &folder, bool readOnly);

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { mMessages.clear(); }

    void officeKilledDuringGeneration_data();
    void officeKilledDuringGeneration();
    void fullOrReadOnlyDisk_data();
    void fullOrReadOnlyDisk();
    void copyOntoAFullDisk();
    void saveClickedWhileGenerating();
    void officeLeftBehindByADeadProgram();
};

void TestFaultsSurvived::initTestCase() {
    Messages::setInstance(&mMessages);
    Clipboard::setInstance(&mClipboard);
    QVERIFY(mDir.isValid());
    // A file system of 24 MB that can be filled up and made read-only; root ignores permission bits, not these.
    // The mounts live in a namespace of this process and its offices, so a test that dies leaves none behind.
    const QByteArray target = QFile::encodeName(mDir.path());
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        qInfo("mounts are not private to this test: %s", strerror(errno));
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=24m,mode=0755") == 0)
        mMounted = true;
    else
        mMountError = QString::fromLocal8Bit(strerror(errno));
    mApp = mDir.path() + u'/';
    QVERIFY(Schema::layOutAppFolder(mDir.path()));
    QVERIFY(QFile::copy(QStringLiteral(VANTREL_EMPTY_DOC), mApp + u"DB/Empty.Doc"_s));
    QVERIFY(Database::create(mDir.path()).isConnected());

    QSqlQuery q(Database::instance().connection());
    QVERIFY(execBound(q, u"INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,?,?)"_s,
                      {u"0001"_s, u"租赁类"_s, u""_s, 0}));
    QVERIFY(execBound(q, u"INSERT INTO TContractClass (TypeCode,TypeName,ParTypeCode,nLeveal) VALUES (?,?,?,?)"_s,
                      {Child, u"房屋租赁合同"_s, u"0001"_s, 1}));
    QVERIFY(execBound(q,
                      u"INSERT INTO TDataPara (MainTypeCode,PropertyName,PropertyType,FormatStr,Unit,CalcStr,SortIdx,"
                      "DataFieldA,DefaultSelect) VALUES (?,'出租方',0,'','','',1,'Data1',''),"
                      "(?,'月租金',1,'99999999999.99','元','',2,'Data2','')"_s,
                      {Child, Child}));

    // The template, written by the template editor with the real office.
    {
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        TemplateEditor editor(word, Child, DocumentPaths::templateFile(Child));
        QVERIFY(editor.prepare());
        QVERIFY(word.paste(u"出租方：[<出租方>]，月租金：[<月租金>]。"_s));
        QVERIFY(editor.save());
        editor.close();
    }
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    mTemplateText = documentText(DocumentPaths::templateFile(Child));
    QVERIFY2(mTemplateText.contains(u"出租方：[<出租方>]，月租金：[<月租金>]。"_s), qPrintable(mTemplateText));
}

void TestFaultsSurvived::cleanupTestCase() {
    Database::destroy();
    if (mMounted) {
        ::umount2(QFile::encodeName(mDir.path()).constData(), MNT_DETACH);
    }
}

int TestFaultsSurvived::addRecord(const QString &landlord, const QString &rent) {
    ContractEntry entry(Database::instance(), -1, Child);
    if (!entry.load())
        return -1;
    entry.commitText(0, landlord);
    if (!entry.commitNumber(1, rent))
        return -1;
    bool saved = false;
    entry.checkAndSave(&saved);
    if (!saved)
        return -1;
    return Database::instance().GetDataBySQL(u"SELECT max(ID) FROM TContractMain"_s, {}).toInt();
}

QString TestFaultsSurvived::documentText(const QString &path) {
    LibreOfficeWordApp reader(LibreOfficeWordApp::Display::Headless);
    if (!reader.connect() || !reader.open(path))
        return u"<cannot read: %1>"_s.arg(reader.lastError());
    QString text = reader.documentText().value_or(u"<no text>"_s);
    reader.quit();
    return text;
}

QStringList TestFaultsSurvived::tables() const {
    return Acceptance::tableRows(u"TContractClass"_s, u"TypeCode"_s) + Acceptance::tableRows(u"TDataPara"_s, u"ID"_s) +
           Acceptance::tableRows(u"TContractMain"_s, u"ID"_s);
}

void TestFaultsSurvived::officeKilledDuringGeneration_data() {
    QTest::addColumn<bool>("whileFilling");
    QTest::newRow("killed while the markers are filled") << true;
    QTest::newRow("killed before the document is saved") << false;
}

void TestFaultsSurvived::officeKilledDuringGeneration() {
    QFETCH(bool, whileFilling);
    const int id = addRecord(u"李四"_s, u"2800"_s);
    QVERIFY(id > 0);
    const QString path = DocumentPaths::contractFile(id);
    const QStringList before = officePids();

    QStringList killed;
    {
        ContractDocumentWindow window(Child, path, id, std::make_unique<LibreOfficeWordApp>());
        auto *hint = window.findChild<QLabel *>(u"lblHint"_s);
        QVERIFY(hint);
        ShowWatcher watcher([&] {
            // Our office for this window: the one started since the window opened.
            for (const QString &pid : officePids())
                if (!before.contains(pid))
                    killed << pid;
            killAll(killed);
        });
        if (whileFilling)
            hint->installEventFilter(&watcher);
        window.show();
        if (whileFilling) {
            QTRY_VERIFY_WITH_TIMEOUT(!mMessages.texts().isEmpty(), 120000);
            QVERIFY(!killed.isEmpty());
            QVERIFY2(mMessages.lastText().startsWith(u"生成合同文档时发生错误，文档可能没有填写完整。\r错误原因："_s),
                     qPrintable(mMessages.lastText()));
            QVERIFY(!hint->isVisible());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!window.document().markerPairs().isEmpty(), 120000);
            QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
            for (const QString &pid : officePids())
                if (!before.contains(pid))
                    killed << pid;
            QVERIFY(!killed.isEmpty());
            killAll(killed);
        }
        // The window stays usable: its buttons answer with a message instead of hanging or claiming success.
        mMessages.clear();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(window.findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
        QCOMPARE(mMessages.texts(), QStringList{u"保存文件发生错误"_s});
        QVERIFY(window.isVisible());
        QVERIFY(!window.document().saved());
        QTest::mouseClick(window.findChild<QPushButton *>(u"regenerateButton"_s), Qt::LeftButton);
        QCOMPARE(mMessages.texts().size(), 2);
        QVERIFY(mMessages.lastText().startsWith(u"生成合同文档时发生错误"_s));
        // Closing works at once.
        QTest::mouseClick(window.findChild<QPushButton *>(u"closeButton"_s), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    }
    // Nothing of that office lives on.
    QTRY_VERIFY_WITH_TIMEOUT(officePids() == before, 10000);
    // A contract document on disk is never an unfilled copy of the template: killed while filling, there is none;
    // killed after the markers were filled, the filled document was saved at once.
    if (whileFilling)
        QVERIFY(!QFileInfo::exists(path));
    else
        QVERIFY(QFileInfo::exists(path) && fileHash(path) != fileHash(DocumentPaths::templateFile(Child)));
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({u"~*"_s}, QDir::Files), QStringList());

    // The next generation starts a new office and fills the document.
    mMessages.clear();
    {
        ContractDocumentWindow window(Child, path, id, std::make_unique<LibreOfficeWordApp>());
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.word().hasDocument(), 120000);
        QStringList fresh;
        for (const QString &pid : officePids())
            if (!before.contains(pid))
                fresh << pid;
        QVERIFY(!fresh.isEmpty());
        for (const QString &pid : fresh)
            QVERIFY(!killed.contains(pid));
        if (window.document().markerPairs().isEmpty())
            QTest::mouseClick(window.findChild<QPushButton *>(u"regenerateButton"_s), Qt::LeftButton);
        QTest::mouseClick(window.findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
        QVERIFY(window.document().saved());
        QVERIFY(!window.isVisible());
    }
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    const QString text = documentText(path);
    QVERIFY2(text.contains(u"出租方：李四，月租金：2800.00元。"_s), qPrintable(text));
}

bool TestFaultsSurvived::fillDisk() {
    QFile filler(mApp + u"filler"_s);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(qsizetype(64) * 1024, 'x');
    while (filler.write(block) == block.size()) {
    }
    // The last pages, byte by byte, until not one is left.
    const QByteArray page(4096, 'x');
    while (filler.write(page) == page.size()) {
    }
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

bool TestFaultsSurvived::setReadOnly(const QString &folder, bool readOnly) {
    // The folder mounted over itself, read-only: writes below it fail with EROFS, for root too.
    const QByteArray target = QFile::encodeName(folder);
    if (!readOnly)
        return ::umount2(target.constData(), MNT_DETACH) == 0;
    if (::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    if (::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        ::umount2(target.constData(), MNT_DETACH);
        return false;
    }
    return true;
}

void TestFaultsSurvived::fullOrReadOnlyDisk_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("readOnly");
    for (const QString &operation : {u"backup"_s, u"template"_s, u"contract"_s, u"import"_s}) {
        QTest::addRow("%s, disk full", qPrintable(operation)) << operation << false;
        QTest::addRow("%s, read-only", qPrintable(operation)) << operation << true;
    }
}

void TestFaultsSurvived::fullOrReadOnlyDisk() {
    QFETCH(QString, operation);
    QFETCH(bool, readOnly);
    if (!mMounted && !readOnly)
        QSKIP(qPrintable(u"no file system of our own can be mounted here: "_s + mMountError));

    // What is stored before: a record with its contract document, the template, the empty document.
    if (Database::instance().GetDataBySQL(u"SELECT count(*) FROM TContractMain WHERE Data1='王五'"_s, {}) == u"0"_s) {
        const int id = addRecord(u"王五"_s, u"1500"_s);
        QVERIFY(id > 0);
        LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
        ContractDocument document(word, Child, DocumentPaths::contractFile(id), id);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Generated);
        QVERIFY(document.save());
        document.close();
    }
    const int stored =
        Database::instance().GetDataBySQL(u"SELECT ID FROM TContractMain WHERE Data1='王五'"_s, {}).toInt();
    const int fresh = addRecord(u"赵六"_s, u"900"_s); // no document yet
    QVERIFY(fresh > 0);
    const QStringList tablesBefore = tables();
    const auto filesBefore = Acceptance::files(mApp + u"DB"_s);
    mMessages.clear();

    // The workbook is read before the disk gives out; only the storing meets it.
    std::unique_ptr<ContractImport> import;
    if (operation == u"import"_s) {
        import = std::make_unique<ContractImport>(Database::instance(), Child);
        QVERIFY(import->openFile(QStringLiteral(VANTREL_IMPORT_BOOK)));
        QVERIFY(import->hasWorksheet());
        QVERIFY(!import->worksheet()->rows.empty());
        QVERIFY(import->worksheet()->columns.contains(u"出租方"_s));
    }
    // The template editor and the contract document window have the office and the document open already.
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    std::unique_ptr<TemplateEditor> editor;
    std::unique_ptr<ContractDocument> existing;
    if (operation == u"template"_s) {
        editor = std::make_unique<TemplateEditor>(word, Child, DocumentPaths::templateFile(Child));
        QVERIFY(editor->prepare());
        QVERIFY(word.paste(u"补充条款。"_s));
    } else if (operation == u"contract"_s) {
        existing = std::make_unique<ContractDocument>(word, Child, DocumentPaths::contractFile(stored), stored);
        QCOMPARE(existing->prepare(), ContractDocument::Preparation::Opened);
        QVERIFY(word.paste(u"补充条款。"_s));
    }

    // The folder the operation writes to.
    const QString folder = mApp + (operation == u"backup"_s     ? u"Bak"_s
                                   : operation == u"template"_s ? u"DB/ModelFiles"_s
                                   : operation == u"contract"_s ? u"DB/ContractFile"_s
                                                                : u"DB"_s);
    if (readOnly && !setReadOnly(folder, true))
        QSKIP(qPrintable(u"no folder can be mounted read-only here: "_s + QString::fromLocal8Bit(strerror(errno))));
    if (!readOnly)
        QVERIFY(fillDisk());
    bool lifted = false;
    const auto lift = [&] {
        if (lifted)
            return;
        lifted = true;
        if (readOnly)
            setReadOnly(folder, false);
        QFile::remove(mApp + u"filler"_s);
    };
    const auto liftAtEnd = qScopeGuard(lift);

    // Whatever fails, fails at once: no office call waits on the disk.
    QElapsedTimer clock;
    clock.start();
    if (operation == u"backup"_s) {
        const QString archive = mApp + u"Bak/full.HTBK"_s;
        mMessages.answerFileName(archive);
        BackupDatabase(Database::instance());
        QCOMPARE(mMessages.lastText(), u"备份文件发生错误，确认目标位置可写入！"_s);
        QCOMPARE(mMessages.shown().last().kind, ScriptedMessages::Kind::Warning);
        QVERIFY(!QFileInfo::exists(archive));
    } else if (operation == u"template"_s) {
        QVERIFY(!editor->save());
        QCOMPARE(mMessages.texts(), QStringList{u"保存文件发生错误"_s});
        editor->close();
    } else if (operation == u"contract"_s) {
        // Over an existing document, and a new one that first needs the template's copy.
        QVERIFY(!existing->save());
        QCOMPARE(mMessages.texts(), QStringList{u"保存文件发生错误"_s});
        QVERIFY(!existing->saved());
        existing->close();
        mMessages.clear();
        LibreOfficeWordApp other(LibreOfficeWordApp::Display::Headless);
        ContractDocument document(other, Child, DocumentPaths::contractFile(fresh), fresh);
        QCOMPARE(document.prepare(), ContractDocument::Preparation::Failed);
        QCOMPARE(mMessages.texts().size(), 1);
        QVERIFY2(mMessages.lastText().startsWith(u"复制合同模板文件发生错误！\r错误原因："_s),
                 qPrintable(mMessages.lastText()));
        document.close();
    } else if (operation == u"import"_s) {
        QVERIFY(!import->importRows());
        QCOMPARE(mMessages.texts().size(), 1);
        QVERIFY2(mMessages.lastText().startsWith(u"存储数据发生错误！"_s), qPrintable(mMessages.lastText()));
    }

    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));

    // Nothing already stored is lost, nothing half-written is left, and the database is sound. The office's own
    // lock and temporary files are left out: it makes them on opening and cannot always take them away again.
    const auto documents = [](QMap<QString, QByteArray> files) {
        files.remove(u"ZYDB.dat"_s);
        files.removeIf([](const auto &it) {
            const QString name = QFileInfo(it.key()).fileName();
            return name.startsWith(u".~lock."_s) || (name.startsWith(u"lu"_s) && name.endsWith(u".tmp"_s));
        });
        return files;
    };
    QCOMPARE(documents(Acceptance::files(mApp + u"DB"_s)), documents(filesBefore));
    QCOMPARE(tables(), tablesBefore);
    QCOMPARE(Database::instance().GetDataBySQL(u"PRAGMA integrity_check"_s, {}), u"ok"_s);
    QVERIFY(QDir(mApp + u"Bak"_s).entryList(QDir::Files).isEmpty());

    // Once there is room again, the same store succeeds.
    if (operation == u"import"_s) {
        lift();
        mMessages.clear();
        QVERIFY(import->importRows());
        QCOMPARE(mMessages.texts(), QStringList{u"数据导入完成！"_s});
    }
}

void TestFaultsSurvived::copyOntoAFullDisk() {
    if (!mMounted)
        QSKIP(qPrintable(u"no file system of our own can be mounted here: "_s + mMountError));
    // The contract document starts as a copy of the template: on a full disk the copy must fail, not leave an
    // empty document behind that later opens as the contract.
    const QString target = mApp + u"DB/ContractFile/copy.Doc"_s;
    QVERIFY(fillDisk());
    const auto copied = CopyFileContent(DocumentPaths::templateFile(Child), target);
    QFile::remove(mApp + u"filler"_s);
    QVERIFY(!copied);
    QVERIFY2(!QFileInfo::exists(target), qPrintable(QString::number(QFileInfo(target).size())));
    QVERIFY(copied.error.contains(u"写入文件"_s));
}

void TestFaultsSurvived::saveClickedWhileGenerating() {
    // The window lets its events through while the markers are filled; "保存" clicked then must not store the
    // half-made document and close as if it were saved.
    const int id = addRecord(u"孙七"_s, u"3100"_s);
    QVERIFY(id > 0);
    const QString path = DocumentPaths::contractFile(id);
    ContractDocumentWindow window(Child, path, id, std::make_unique<LibreOfficeWordApp>());
    auto *hint = window.findChild<QLabel *>(u"lblHint"_s);
    int clicks = 0;
    ShowWatcher watcher([&] {
        ++clicks;
        window.findChild<QPushButton *>(u"saveButton"_s)->click();
    });
    hint->installEventFilter(&watcher);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!window.document().markerPairs().isEmpty() && !hint->isVisible(), 120000);
    QCOMPARE(clicks, 1);
    QVERIFY(window.isVisible());
    QVERIFY(!window.document().saved());
    // Once generated, the same click saves the filled document.
    QTest::mouseClick(window.findChild<QPushButton *>(u"saveButton"_s), Qt::LeftButton);
    QVERIFY(window.document().saved());
    QVERIFY(!window.isVisible());
    QVERIFY2(mMessages.texts().isEmpty(), qPrintable(mMessages.texts().join(u'|')));
    const QString text = documentText(path);
    QVERIFY2(text.contains(u"出租方：孙七，月租金：3100.00元。"_s), qPrintable(text));
}

void TestFaultsSurvived::officeLeftBehindByADeadProgram() {
    // A program killed while its office runs leaves that office behind on its profile; the next program that
    // takes the profile is handed over to it by the office's launcher and must work with it. The profiles lie in a
    // folder of this test's own: offices of other programs running beside it must neither take that profile over
    // (and lose their office when this test ends the one left behind) nor leave this test a different free slot.
    QTemporaryDir profiles;
    QVERIFY(profiles.isValid());
    const QByteArray rootVariable("VANTREL_OFFICE_PROFILE_ROOT");
    const QByteArray oldRoot = qgetenv(rootVariable.constData());
    const bool hadRoot = qEnvironmentVariableIsSet(rootVariable.constData());
    qputenv(rootVariable.constData(), QFile::encodeName(profiles.path()));
    const auto restoreRoot = qScopeGuard([&] {
        if (hadRoot)
            qputenv(rootVariable.constData(), oldRoot);
        else
            qunsetenv(rootVariable.constData());
    });
    QProcess program;
    program.start(QCoreApplication::applicationFilePath(), {u"--start-office-and-wait"_s});
    QVERIFY(program.waitForStarted());
    QVERIFY(program.waitForReadyRead(120000));
    QCOMPARE(program.readLine().trimmed(), QByteArray("ready"));
    const QString leftBehind = u"pipe,name=vantrel-%1-"_s.arg(program.processId());
    program.kill();
    program.waitForFinished();
    const auto endLeftBehind = qScopeGuard([&] { killAll(processesWith(leftBehind)); });

    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    QVERIFY2(word.connect(), qPrintable(word.lastError()));
    QVERIFY2(word.arrange(), qPrintable(word.lastError()));
    QVERIFY2(word.open(DocumentPaths::templateFile(Child)), qPrintable(word.lastError()));
    QVERIFY(word.documentText().value_or(QString()).contains(u"[<出租方>]"_s));
    QVERIFY(word.quit());
}

// With --start-office-and-wait the program starts an office, says so, and waits to be killed.
static int startOfficeAndWait(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    LibreOfficeWordApp word(LibreOfficeWordApp::Display::Headless);
    if (!word.connect())
        return 1;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

int main(int argc, char **argv) {
    if (argc > 1 && qstrcmp(argv[1], "--start-office-and-wait") == 0)
        return startOfficeAndWait(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestFaultsSurvived test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_faults_survived.moc"
