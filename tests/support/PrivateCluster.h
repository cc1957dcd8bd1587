#pragma once

#include "store/ServerSettings.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// A PostgreSQL cluster of one test program's own (started by pg-cluster.sh into a temporary state folder), for tests
// that stop the server under the program or need a password the server checks (the shared test cluster trusts
// everyone and must keep running). Removed again on destruction.
class PrivateCluster {
public:
    // The server encrypts connections with a certificate of its own for "localhost"; startOptions are those of
    // pg-cluster.sh's start: {"--no-tls"} for a server without encryption, {"--tls", certificate, key} for a server
    // with the given certificate.
    explicit PrivateCluster(const QStringList &startOptions = {});
    ~PrivateCluster();
    PrivateCluster(const PrivateCluster &) = delete;
    PrivateCluster &operator=(const PrivateCluster &) = delete;

    // Empty when the cluster runs; otherwise why not (the caller skips).
    QString unavailableReason() const { return mUnavailable; }
    int port() const { return mPort; }
    // Settings of a database on this cluster (no password), encrypted when the server can.
    ServerSettings settings(const QString &database, const QString &user = QStringLiteral("vantrel")) const;

    // A login whose password the server checks, owning a new empty database of the same name as the login.
    bool addPasswordUser(const QString &user, const QString &password);
    // Runs one statement as the superuser on the maintenance database; the error text or empty.
    QString exec(const QString &sql);

    // The server stops (fast: connected programs see their connection closed) and starts again on the same port.
    bool pause();
    bool resume();
    // Runs work while the server is stopped afterMs milliseconds after it began (work must still be waiting on the
    // server then); true when the stop succeeded.
    bool pauseDuring(const std::function<void()> &work, int afterMs);

private:
    bool script(const QString &action, const QStringList &options = {});

    QTemporaryDir mState;
    bool mEncrypted = true;
    QString mUnavailable;
    int mPort = 0;
};
