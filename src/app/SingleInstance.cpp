#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {
// What a request looks like on the socket: a version word, then the file as UTF-8 (empty: come to the front). The
// running program answers with one byte once it has the request.
constexpr quint32 RequestMagic = 0x56544e31; // "VTN1"
constexpr char Acknowledged = 'k';

QString canonicalFolder(const QString &folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? QDir(folder).absolutePath() : canonical);
}

// The lock file of a folder made on its first start.
QString lockInMadeFolder(const QString &folder) {
    QDir().mkpath(folder);
    return SingleInstance::lockPath(folder);
}
} // namespace

QString SingleInstance::socketPath(const QString &dataFolder) {
    // Named after the folder however it was reached (a link, a trailing slash); kept in the runtime folder, which
    // only its user can enter, so no one else can listen in its place.
    const QByteArray key =
        QCryptographicHash::hash(canonicalFolder(dataFolder).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/vantrel-") +
           QString::fromLatin1(key);
}

QString SingleInstance::lockPath(const QString &dataFolder) {
    return canonicalFolder(dataFolder) + QStringLiteral("/.vantrel.lock");
}

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , mFolder(dataFolder)
    , mLock(lockInMadeFolder(dataFolder)) {
    // A lock of a running program never goes stale by its age: only when its process is gone.
    mLock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (mServer)
        mServer->close();
}

SingleInstance::Role SingleInstance::start(const QString &file, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (mLock.tryLock(0)) {
            mServer = new QLocalServer(this);
            mServer->setSocketOptions(QLocalServer::UserAccessOption);
            // Holding the lock, any socket left under the name is a crashed program's.
            QLocalServer::removeServer(socketPath(mFolder));
            connect(mServer, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
            // Without the socket this program still works; later starts then say that it does not answer.
            mServer->listen(socketPath(mFolder));
            return Role::First;
        }
        // A folder that takes no lock file at all (read-only, full) guards nothing: the program starts as before.
        if (mLock.error() != QLockFile::LockFailedError)
            return Role::First;
        if (handTo(mFolder, file, int(std::clamp<qint64>(deadline.remainingTime(), 100, 2000))))
            return Role::HandedOver;
        if (deadline.hasExpired())
            return Role::NoAnswer;
        QThread::msleep(100);
    }
}

bool SingleInstance::handTo(const QString &dataFolder, const QString &file, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath(dataFolder));
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out << RequestMagic << file.toUtf8();
    socket.write(request);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == Acknowledged;
}

void SingleInstance::setReceiver(const std::function<void(const QString &)> &receiver) {
    mReceiver = receiver;
    const QStringList pending = std::exchange(mPending, {});
    for (const QString &file : pending)
        deliver(file);
}

void SingleInstance::acceptConnection() {
    while (QLocalSocket *socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            quint32 magic = 0;
            QByteArray file;
            in >> magic >> file;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            if (magic != RequestMagic) {
                socket->abort();
                return;
            }
            socket->putChar(Acknowledged);
            socket->flush();
            socket->disconnectFromServer();
            deliver(QString::fromUtf8(file));
        });
    }
}

void SingleInstance::deliver(const QString &file) {
    if (!mReceiver) {
        mPending << file;
        return;
    }
    // From the event loop, not from inside the socket's signal: the receiver may open dialogs.
    QMetaObject::invokeMethod(
        this, [this, file] { mReceiver(file); }, Qt::QueuedConnection);
}
