#pragma once

#include <QString>
#include <QStringList>

// The other processes whose command line holds text (read from /proc, so no process tools are needed), sorted.
QStringList processesWith(const QString &text);
// Kills the processes at once.
void killAll(const QStringList &pids);
