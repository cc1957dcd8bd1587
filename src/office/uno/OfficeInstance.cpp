#include "office/uno/OfficeInstance.h"

#include "office/OfficeProcesses.h"
#include "office/uno/UnoSupport.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <unistd.h>

using namespace com::sun::star;
using namespace uno_support;

namespace {

constexpr int kStartTimeoutMs = 90'000; // a first start builds the profile; on a busy machine that takes a while
constexpr int kEndTimeoutMs = 10'000;

QString programFolder() {
    return QString::fromUtf8(VANTREL_LO_PROGRAM_DIR);
}

// The local end of the bridge, made once per process and kept to the end (destroying it at exit races with
// the UNO runtime's own shutdown).
uno::Reference<uno::XComponentContext> localContext(QString *error) {
    static uno::Reference<uno::XComponentContext> *context = nullptr;
    // Offices of a batch are reached from threads of their own.
    static std::mutex making;
    const std::lock_guard lock(making);
    if (context)
        return *context;
    if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
        qputenv("URE_BOOTSTRAP",
                QByteArray("vnd.sun.star.pathname:") + QFile::encodeName(programFolder()) + "/fundamentalrc");
    try {
        context = new uno::Reference<uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
        return *context;
    } catch (const uno::Exception &e) {
        *error = QStringLiteral("无法初始化办公软件接口：") + describe(e);
    } catch (...) {
        *error = QStringLiteral("无法初始化办公软件接口");
    }
    return {};
}

QString profileRoot() {
    QString root = qEnvironmentVariable("VANTREL_OFFICE_PROFILE_ROOT");
    if (root.isEmpty()) {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        root = (cache.isEmpty() ? QDir::tempPath() : cache) + QStringLiteral("/vantrel/office-profiles");
    }
    return root;
}

} // namespace

OfficeInstance::OfficeInstance(Kind kind, bool headless)
    : mKind(kind)
    , mHeadless(headless) {
    // An office that dies (crashed, killed) leaves its end of the pipe closed: the next call written into it must
    // fail as an error, not end this program by SIGPIPE.
    static const bool pipeSignalIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    Q_UNUSED(pipeSignalIgnored);
}

OfficeInstance::~OfficeInstance() {
    // The shared office holds the user's spreadsheets: it stays. A private one ends with its owner, and so does
    // every office run headless, which nobody could ever close otherwise.
    if (mKind == Kind::Private || mHeadless)
        terminate();
    else
        release();
}

bool OfficeInstance::headlessFromEnvironment() {
    return qEnvironmentVariable("VANTREL_OFFICE_HEADLESS") == QLatin1String("1");
}

bool OfficeInstance::alive() {
    if (!mDesktop.is())
        return false;
    if (mProcess && (mProcess->state() == QProcess::NotRunning || mProcess->waitForFinished(0))) {
        // The launcher also ends with 0 after handing our pipe to an office already running on the profile (one
        // left behind by a program that died): that office serves us as long as it answers.
        const bool handedOver = mProcess->exitStatus() == QProcess::NormalExit && mProcess->exitCode() == 0;
        mProcess.reset();
        if (!handedOver) {
            release();
            mProfileLock.reset();
            unregisterProcess();
            return false;
        }
        // Its process group is not known to us; it still ends in order with the program.
        registerProcess(0);
    }
    if (!mProcess) {
        // Not started by us: a cheap call tells whether the bridge still stands.
        try {
            mDesktop->getCurrentComponent();
        } catch (const uno::Exception &) {
            release();
            return false;
        }
    }
    return true;
}

void OfficeInstance::release() {
    mDesktop.clear();
    mContext.clear();
}

bool OfficeInstance::ensureRunning(QString *error) {
    if (alive())
        return true;
    release();
    if (!localContext(error).is())
        return false;

    QString ignored;
    bool booting = false;
    if (mProcess && mProcess->state() != QProcess::NotRunning) {
        // Our office still runs and only the references were dropped, or it is still coming up: reach it.
        if (tryResolve(&ignored)) {
            mBooting = false;
            return true;
        }
        if (mBooting)
            booting = true;
        else
            killProcess();
    }
    mBooting = false;
    if (!booting) {
        if (!mProcess && mKind == Kind::Shared && !mHeadless) {
            mPipeName = QStringLiteral("vantrel-sheets-%1").arg(::getuid());
            if (tryResolve(&ignored))
                return true;
        }
        if (!claimProfile(error))
            return false;
        if (!startProcess(error))
            return false;
    }

    QDeadlineTimer deadline(kStartTimeoutMs);
    QString lastError;
    // soffice hands its arguments to an office already running on the same profile and ends: that one then
    // listens on our pipe too, so keep trying for a moment.
    auto reachHandedOver = [&] {
        for (int i = 0; i < 50; ++i) {
            if (tryResolve(&lastError))
                return true;
            QThread::msleep(100);
        }
        return false;
    };
    while (!deadline.hasExpired()) {
        if (tryResolve(&lastError))
            return true;
        if (mProcess && (mProcess->state() == QProcess::NotRunning || mProcess->waitForFinished(0))) {
            const bool normal = mProcess->exitStatus() == QProcess::NormalExit && mProcess->exitCode() == 0;
            const int code = mProcess->exitCode();
            mProcess.reset();
            if (normal && reachHandedOver()) {
                registerProcess(0);
                return true;
            }
            unregisterProcess();
            *error = QStringLiteral("办公软件启动后意外退出（退出码 %1）").arg(code);
            return false;
        }
        if (!mProcess && mDetachedPid > 0 && ::kill(static_cast<pid_t>(mDetachedPid), 0) != 0) {
            mDetachedPid = 0;
            if (reachHandedOver())
                return true;
            *error = QStringLiteral("办公软件启动后意外退出");
            return false;
        }
        QThread::msleep(100);
    }
    killProcess();
    *error = QStringLiteral("办公软件没有在规定时间内响应：") + lastError;
    return false;
}

bool OfficeInstance::startInBackground(QString *error) {
    if (alive() || starting())
        return true;
    release();
    if (!localContext(error).is())
        return false;
    if (mProcess && mProcess->state() != QProcess::NotRunning)
        killProcess();
    if (!claimProfile(error) || !startProcess(error))
        return false;
    mBooting = true;
    return true;
}

bool OfficeInstance::starting() const {
    return mBooting && !mDesktop.is() && mProcess && mProcess->state() != QProcess::NotRunning;
}

bool OfficeInstance::reachedNow() {
    if (mDesktop.is())
        return alive();
    if (!starting())
        return false;
    QString ignored;
    if (!tryResolve(&ignored))
        return false;
    mBooting = false;
    return true;
}

bool OfficeInstance::tryResolve(QString *error) {
    try {
        QString ignored;
        const auto local = localContext(&ignored);
        if (!local.is())
            return false;
        const auto resolver = bridge::UnoUrlResolver::create(local);
        const QString url = QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(mPipeName);
        uno::Reference<uno::XComponentContext> remote(resolver->resolve(toOU(url)), uno::UNO_QUERY_THROW);
        mDesktop = frame::Desktop::create(remote);
        mContext = remote;
        ++mGeneration;
        return true;
    } catch (const uno::Exception &e) {
        *error = describe(e);
    }
    release();
    return false;
}

bool OfficeInstance::claimProfile(QString *error) {
    if (mProfileLock)
        return true;
    const QString root = profileRoot();
    if (!QDir().mkpath(root)) {
        *error = QStringLiteral("无法创建办公软件的配置文件夹：") + root;
        return false;
    }
    const QString prefix = mKind == Kind::Shared ? QStringLiteral("sheets") : QStringLiteral("word");
    static std::atomic<int> counter = 0;
    for (int slot = 0; slot < 64; ++slot) {
        const QString name = mKind == Kind::Shared && !mHeadless && slot == 0 ? prefix : prefix + QString::number(slot);
        auto lock = std::make_unique<QLockFile>(root + QLatin1Char('/') + name + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        mProfileLock = std::move(lock);
        mProfileFolder = root + QLatin1Char('/') + name;
        if (mKind == Kind::Private || mHeadless)
            mPipeName =
                QStringLiteral("vantrel-%1-%2-%3").arg(QCoreApplication::applicationPid()).arg(name).arg(++counter);
        seedProfile(mProfileFolder);
        return true;
    }
    *error = QStringLiteral("办公软件的配置文件夹都在使用中：") + root;
    return false;
}

// Settings the office reads on its first start in this profile: no welcome dialogs, no document recovery, no
// macros, no spell checking while the user types, no question about keeping the Word format, Chinese interface.
namespace {

// The installed office's version ("7.4"), as its own configuration states it; empty when it cannot be read.
QString officeVersion() {
    static const QString version = [] {
        QFile file(programFolder() + QStringLiteral("/../share/registry/main.xcd"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray xml = file.readAll();
        const qsizetype prop = xml.indexOf("<prop oor:name=\"ooSetupVersion\">");
        const qsizetype start = prop < 0 ? -1 : xml.indexOf("<value>", prop);
        const qsizetype end = start < 0 ? -1 : xml.indexOf("</value>", start);
        if (end < 0 || end - start > 40)
            return QString();
        return QString::fromLatin1(xml.mid(start + 7, end - start - 7)).trimmed();
    }();
    return version;
}

} // namespace

void OfficeInstance::seedProfile(const QString &folder) {
    // Raise the mark whenever the settings below change: the office rewrites the file with its own state, so
    // a profile seeded by an older build is seeded afresh. The office's version is part of it: see below.
    const QString version = officeVersion();
    const QString mark = folder + QStringLiteral("/vantrel-settings-4-") + version;
    const QString user = folder + QStringLiteral("/user");
    const QString file = user + QStringLiteral("/registrymodifications.xcu");
    if (QFile::exists(mark))
        return;
    QDir().mkpath(user);
    auto item = [](const char *path, const char *name, const char *value) {
        return QStringLiteral(
                   "<item oor:path=\"%1\"><prop oor:name=\"%2\" oor:op=\"fuse\"><value>%3</value></prop></item>\n")
            .arg(QLatin1String(path), QLatin1String(name), QLatin1String(value));
    };
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n");
    xml += item("/org.openoffice.Setup/Office", "ooSetupInstCompleted", "true");
    xml += item("/org.openoffice.Setup/L10N", "ooLocale", "zh-CN");
    xml += item("/org.openoffice.Office.Linguistic/General", "UILocale", "zh-CN");
    xml += item("/org.openoffice.Office.Linguistic/General", "DefaultLocale_CJK", "zh-CN");
    xml += item("/org.openoffice.Office.Common/Misc", "FirstRun", "false");
    // An office without a display never records that it has met its version; each start would then take the
    // slow first-start path again (about three seconds).
    if (!version.isEmpty())
        xml += item("/org.openoffice.Setup/Product", "ooSetupLastVersion", version.toLatin1().constData());
    xml += item("/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", "false");
    xml += item("/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "3");
    xml += item("/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "true");
    xml += item("/org.openoffice.Office.Common/Save/Document", "WarnAlienFormat", "false");
    xml += item("/org.openoffice.Office.Linguistic/SpellChecking", "IsSpellAuto", "false");
    xml += item("/org.openoffice.Office.Recovery/AutoSave", "Enabled", "false");
    xml += item("/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", "false");
    // Lock files would stop a second office (the template view, another window) from opening the same file,
    // and would litter the DB folder that backups archive.
    xml += item("/org.openoffice.Office.Common/Misc", "UseDocumentOOoLockFile", "false");
    xml += item("/org.openoffice.Office.Common/Misc", "UseDocumentSystemFileLocking", "false");
    xml += QStringLiteral("</oor:items>\n");
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(xml.toUtf8()) == xml.toUtf8().size()) {
        out.close();
        QFile(mark).open(QIODevice::WriteOnly);
    }
}

bool OfficeInstance::startProcess(QString *error) {
    QStringList args{
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(mPipeName),
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(mProfileFolder).toString(QUrl::FullyEncoded),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
    };
    if (mHeadless)
        args << QStringLiteral("--headless") << QStringLiteral("--invisible");

    QString program = qEnvironmentVariable("VANTREL_SOFFICE");
    if (program.isEmpty())
        program = programFolder() + QStringLiteral("/soffice");
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(args);
    process->setStandardInputFile(QProcess::nullDevice());
    if (qEnvironmentVariableIsEmpty("VANTREL_OFFICE_DEBUG")) {
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
    } else {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    }

    // Set for this process's own bootstrap only; the office finds its own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("URE_BOOTSTRAP"));
    process->setProcessEnvironment(environment);

    mDetachedPid = 0;
    if (mKind == Kind::Shared && !mHeadless) {
        // The user's spreadsheets outlive this object and Vantrel itself: nothing of ours may end that office.
        if (!process->startDetached(&mDetachedPid)) {
            *error = QStringLiteral("无法启动办公软件（%1）：%2").arg(program, process->errorString());
            return false;
        }
        return true;
    }

    // A group of its own, so the fallback kill reaches soffice.bin behind the launcher too.
    process->setChildProcessModifier([] { ::setsid(); });
    process->start();
    if (!process->waitForStarted(10'000)) {
        *error = QStringLiteral("无法启动办公软件（%1）：%2").arg(program, process->errorString());
        return false;
    }
    mProcess = std::move(process);
    registerProcess(mProcess->processId());
    return true;
}

void OfficeInstance::registerProcess(qint64 processGroup) {
    if (mRegistration == 0)
        mRegistration = OfficeProcesses::add(processGroup, [this] { terminate(); });
    else
        OfficeProcesses::setProcessGroup(mRegistration, processGroup);
}

void OfficeInstance::unregisterProcess() {
    if (mRegistration != 0)
        OfficeProcesses::remove(mRegistration);
    mRegistration = 0;
}

void OfficeInstance::terminate() {
    if (!mDesktop.is() && mProcess && mProcess->state() != QProcess::NotRunning) {
        // Disconnected earlier: reach it once more so it can end in order instead of being killed.
        QString ignored;
        tryResolve(&ignored);
    }
    if (mDesktop.is() && (!mProcess || mProcess->state() != QProcess::NotRunning)) {
        Watch watch(*this);
        try {
            // Left-over modified documents would make the office ask whether to save: close them unsaved first.
            const auto components = mDesktop->getComponents();
            const auto e = components.is() ? components->createEnumeration() : nullptr;
            while (e.is() && e->hasMoreElements()) {
                uno::Reference<util::XModifiable> modifiable(e->nextElement(), uno::UNO_QUERY);
                if (modifiable.is())
                    modifiable->setModified(false);
                uno::Reference<util::XCloseable> closeable(modifiable, uno::UNO_QUERY);
                if (closeable.is()) {
                    try {
                        closeable->close(true);
                    } catch (const uno::Exception &) {
                    }
                }
            }
            mDesktop->terminate();
        } catch (const uno::Exception &) {
            // A disposed bridge here means the office is already going.
        }
    }
    release();
    if (mProcess) {
        if (mProcess->state() != QProcess::NotRunning && !mProcess->waitForFinished(kEndTimeoutMs))
            killProcess();
        mProcess.reset();
    }
    mProfileLock.reset();
    unregisterProcess();
}

void OfficeInstance::killProcess() {
    if (!mProcess)
        return;
    const qint64 pid = mProcess->processId();
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    mProcess->kill();
    mProcess->waitForFinished(5'000);
    mProcess.reset();
    release();
    unregisterProcess();
}

int OfficeInstance::callTimeoutMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VANTREL_OFFICE_CALL_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 120'000;
}

OfficeInstance::Watch::Watch(OfficeInstance &office)
    : mOffice(office) {
    const qint64 pid = office.mProcess ? office.mProcess->processId() : 0;
    if (pid <= 0)
        return;
    const auto limit = std::chrono::milliseconds(callTimeoutMs());
    mThread = std::thread([this, pid, limit] {
        std::unique_lock lock(mMutex);
        if (mDone.wait_for(lock, limit, [this] { return mFinished; }))
            return;
        // The whole group: the launcher and soffice.bin behind it. The blocked call then fails at once.
        mOffice.mTimedOut = true;
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    });
}

OfficeInstance::Watch::~Watch() {
    if (!mThread.joinable())
        return;
    {
        std::lock_guard lock(mMutex);
        mFinished = true;
    }
    mDone.notify_one();
    mThread.join();
}
