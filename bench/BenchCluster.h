#pragma once

// A private PostgreSQL cluster for one benchmark run (tests/support/pg-cluster.sh), started in a folder of the
// run and stopped when the object goes.
#include "store/ServerSettings.h"

#include <QFile>
#include <QProcess>
#include <QString>

#include <cstdio>
#include <optional>

class BenchCluster {
public:
    explicit BenchCluster(const QString &state)
        : mState(state) {
        QProcess::execute(QStringLiteral(VANTREL_PG_SCRIPT), {QStringLiteral("start"), mState});
    }
    ~BenchCluster() { QProcess::execute(QStringLiteral(VANTREL_PG_SCRIPT), {QStringLiteral("stop"), mState}); }
    BenchCluster(const BenchCluster &) = delete;
    BenchCluster &operator=(const BenchCluster &) = delete;

    // How its user reaches `database`; nothing, with a line on stderr, when the cluster did not start.
    std::optional<ServerSettings> settings(const QString &database) const {
        QFile port(mState + QStringLiteral("/port"));
        if (!port.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "the PostgreSQL cluster did not start\n");
            return std::nullopt;
        }
        ServerSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port.readAll().trimmed().toInt();
        s.user = QStringLiteral("vantrel");
        s.database = database;
        return s;
    }

private:
    QString mState;
};
