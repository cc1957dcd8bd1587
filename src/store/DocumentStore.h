#pragma once

#include <QString>

// The template and contract documents when the data lives on the shared server: their bytes are kept in the
// table TFile under their path relative to the application folder ("DB/ContractFile/12.Doc"), each with a version
// that grows by one with every write. The local DB/ folder holds working copies: fetch() brings one up to date
// before it is used, put() writes it back after a save. On the embedded store the local file is the document itself
// and every call does nothing, so callers have one code path.
//
// What the program last fetched or wrote of each working copy (the server's version and a digest of the bytes) is
// remembered on disk below the application folder (StateFolder), so that a later run, also after a crash, tells a
// copy as the server had it from one changed outside the program. A fetch never replaces or removes a copy it
// cannot account for: such a copy is first kept in Bak/, and when that fails nothing is replaced.
//
// Only the thread that holds the database connection talks to the server; elsewhere (a batch's threads) the calls
// do nothing either.
namespace DocumentStore {

// Below the application folder: one small file per working copy, under the copy's own relative path. Outside DB/,
// which holds exactly the database and the documents.
inline const QString StateFolder = QStringLiteral(".server-copies/");

enum class Outcome {
    Done,     // written (or nothing to do on this store)
    Conflict, // another program wrote the document since this one fetched it; nothing was written
    Failed,   // the server or the local file could not be used; nothing was written
};

// True when documents go through the server from this thread.
bool active();

// Makes the local file the server's current document: written when it differs, removed when the server has none.
// A local file that is neither what this program last fetched or wrote nor a copy already kept aside goes to Bak/
// first. Remembers the version for a later put(). False (with the reason, nothing replaced) when the server cannot
// be read or the local file cannot be kept.
bool fetch(const QString &relative, QString *error = nullptr);
// Writes the local file to the server as a new version, unless the server's version moved on since the last
// fetch() or put() of this path by this program, or the server has a version this program never fetched.
Outcome put(const QString &relative, QString *error = nullptr);
// True when the local file differs from what this program last fetched or wrote of it (someone saved it
// without the program, as the office's own Save does); false on the embedded store.
bool changedLocally(const QString &relative);
// Copies the local file to Bak/ as "<name>_<label>_<time>.<suffix>" and remembers its bytes as kept, so that the
// same bytes are not kept again. The copy's path, or empty text when it cannot be made.
QString keepAside(const QString &relative, const QString &label);
// True when the local file holds the bytes last kept aside.
bool keptAside(const QString &relative);
// Removes the document from the server (the local file is the caller's).
bool remove(const QString &relative, QString *error = nullptr);
// Removes every document whose path begins with `folder` ("DB/ContractFile/").
bool removeUnder(const QString &folder, QString *error = nullptr);
// True when the server holds the document; on the embedded store, when the local file exists.
bool exists(const QString &relative);

// The path below the application folder of a local file in it; empty when the file lies elsewhere.
QString relativePath(const QString &localFile);

} // namespace DocumentStore
