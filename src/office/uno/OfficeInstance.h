#pragma once

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QLockFile;
class QProcess;

// One LibreOffice process reached over a named pipe. A private instance gets a profile folder of its own
// (locked while in use, kept between runs so later starts are quick) and a pipe name of its own; the shared
// instance, used for the spreadsheets handed to the user, has one fixed profile and pipe per user and outlives
// this object.
class OfficeInstance {
public:
    enum class Kind { Private, Shared };

    OfficeInstance(Kind kind, bool headless);
    ~OfficeInstance();
    OfficeInstance(const OfficeInstance &) = delete;
    OfficeInstance &operator=(const OfficeInstance &) = delete;

    // Reaches the running office or starts a new one. A dead office is noticed and replaced. An office started
    // by startInBackground() is waited for, not started again.
    bool ensureRunning(QString *error);
    // Starts the office and returns at once, while it is still coming up; ensureRunning() or reachedNow() reach
    // it later. True when it runs already or was started.
    bool startInBackground(QString *error);
    // An office started in the background does not answer yet.
    bool starting() const;
    // One quick try to reach an office started in the background; true once it answers (it is then alive()).
    bool reachedNow();
    // The office answers (its process runs, when we started it). Drops the references when it does not.
    bool alive();
    // Forgets the references; the office keeps running.
    void release();
    // Closes every document unsaved and ends the office; kills it when it does not end in time.
    void terminate();

    // Guards the remote calls of one operation: when they have not returned within callTimeoutMs(), the office
    // is taken for hung and killed, so that the waiting call fails instead of blocking the program for good.
    // Only an office this object started is ever killed.
    class Watch {
    public:
        explicit Watch(OfficeInstance &office);
        ~Watch();
        Watch(const Watch &) = delete;
        Watch &operator=(const Watch &) = delete;

    private:
        OfficeInstance &mOffice;
        std::mutex mMutex;
        std::condition_variable mDone;
        bool mFinished = false;
        std::thread mThread;
    };
    // True once after a Watch had to kill the office.
    bool takeTimedOut() { return mTimedOut.exchange(false); }
    // VANTREL_OFFICE_CALL_TIMEOUT_MS, else two minutes.
    static int callTimeoutMs();

    bool headless() const { return mHeadless; }
    // Counts the connections made to an office: documents of an earlier one are gone with it.
    int generation() const { return mGeneration; }
    com::sun::star::uno::Reference<com::sun::star::uno::XComponentContext> context() const { return mContext; }
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> desktop() const { return mDesktop; }

    // VANTREL_OFFICE_HEADLESS=1 runs every office invisibly (tests, servers).
    static bool headlessFromEnvironment();

private:
    // What the office tests do to an office that the program never does (crash it, hang it).
    friend class OfficeTestAccess;

    bool tryResolve(QString *error);
    bool startProcess(QString *error);
    bool claimProfile(QString *error);
    static void seedProfile(const QString &folder);
    void killProcess();
    // Entered in OfficeProcesses while an office we started may run, so that it ends with the program.
    void registerProcess(qint64 processGroup);
    void unregisterProcess();

    Kind mKind;
    bool mHeadless;
    QString mPipeName;
    QString mProfileFolder;
    std::unique_ptr<QLockFile> mProfileLock;
    std::unique_ptr<QProcess> mProcess; // the office we started and own
    qint64 mDetachedPid = 0;            // the shared office we started for the user, not ours to end
    com::sun::star::uno::Reference<com::sun::star::uno::XComponentContext> mContext;
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> mDesktop;
    std::atomic<bool> mTimedOut{false};
    int mRegistration = 0;
    bool mBooting = false; // started in the background and not reached yet
    int mGeneration = 0;
};
