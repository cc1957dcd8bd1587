#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QLocalServer;

// One data folder, one running program. The first program on a folder holds a lock file in it and listens on a
// local socket named after the folder (in the user's private runtime folder); a later start on the same folder
// hands what it was started with (a backup to restore, or nothing: the window is to come to the front) to that
// program, which acknowledges it, and ends. Otherwise the second copy would restore under the first, which would
// go on working on the replaced database.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,      // this program holds the folder
        HandedOver, // the running program took the request: end now
        NoAnswer,   // a program holds the folder but took nothing within the time (another user's, or hung)
    };

    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the folder, or hands `file` (an absolute path; empty for "come to the front") to the program holding
    // it. A program that has just taken the folder and does not listen yet is waited for up to `timeoutMs`.
    Role start(const QString &file, int timeoutMs = 10000);

    // What later starts handed over, in order: requests that came before a receiver was set are kept for it.
    void setReceiver(const std::function<void(const QString &file)> &receiver);

    // Hands `file` to the program holding `dataFolder`; true when it acknowledged within `timeoutMs`.
    static bool handTo(const QString &dataFolder, const QString &file, int timeoutMs);

    // The socket of the program holding `dataFolder`, and its lock file.
    static QString socketPath(const QString &dataFolder);
    static QString lockPath(const QString &dataFolder);

private:
    void acceptConnection();
    void deliver(const QString &file);

    QString mFolder;
    QLockFile mLock;
    QLocalServer *mServer = nullptr;
    QStringList mPending;
    std::function<void(const QString &)> mReceiver;
};
