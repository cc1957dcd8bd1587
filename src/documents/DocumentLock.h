#pragma once

#include <QString>

// The lock file beside a contract document that a window of the program has open, in the office's own format and
// place ("<folder>/.~lock.<name>#"): a batch, in this program or in vantrel-generate, then leaves the document
// alone, and so does another office. The program's own offices keep no lock files of their own.
namespace DocumentLock {

// Writes the lock of this program for the document; false when it could not be written.
bool acquire(const QString &document);
// Removes the lock when this program wrote it.
void release(const QString &document);
// Another window (of this or another running program) or another office has the document open. A lock left by a
// program that has ended does not count.
bool isLocked(const QString &document);

} // namespace DocumentLock
