#pragma once

#include <QString>

#include <optional>

// The lock file beside a contract document that a window of the program has open, in the office's own format and
// place ("<folder>/.~lock.<name>#"): a batch, in this program or in vantrel-generate, then leaves the document
// alone, and so does another office. The program's own offices keep no lock files of their own.
//
// The line is "name,login,host,dd.MM.yyyy HH:mm,owner;". The office puts its profile in the last field; this program
// puts "vantrel:<pid>@<host>/<boot id>/<process start>", so that a lock left by a copy that has ended is told from
// one of a copy that runs, even when the system has given the process number to another program since.
namespace DocumentLock {

// Who holds a lock, as its line says (any part may be empty).
struct Holder {
    QString user;
    QString host;
    QString since;
    QString lockFile; // the lock file's name, for a user who needs to find it
    // "王五 于 10.12.2026 09:30 在 办公室电脑 上打开；锁定文件 .~lock.12.Doc#", for messages.
    QString describe() const;
};

// Writes the lock of this program for the document; false when someone else holds a lock that still counts (another
// window, another copy of the program, an office), which is left as it is, or when it could not be written. A lock
// of a program that has ended is replaced.
bool acquire(const QString &document);
// Removes the lock when this process wrote it; anyone else's is left alone.
void release(const QString &document);
// Who has the document open: a window of this or another running copy of the program, or an office. A lock left
// by a copy of the program that has ended does not count.
std::optional<Holder> holder(const QString &document);
inline bool isLocked(const QString &document) {
    return holder(document).has_value();
}

} // namespace DocumentLock
