#pragma once

#include <QString>

// The documents' round trip through the shared server (see store/DocumentStore.h) for the windows that open and save
// them: the local copy is brought up to date before use and written back after a save. On the embedded store
// nothing happens and every call succeeds.
namespace DocumentSync {

// Fetches the document at `path` (a local path in the application folder) in each of its formats (the path itself,
// .docx, .odt). False with the reason when the server cannot be read.
bool fetchAnyFormat(const QString &path, QString *error = nullptr);

enum class WriteBack {
    Written,  // the server holds the saved document
    Kept,     // another user saved first: the user's document was kept aside and the open one left as it is
    Reloaded, // another user saved first: the user's document was kept aside, the local file is now theirs
    Failed,   // the server could not be written; the user was told
};
// After the document at `path` was saved locally. `what` names it for the user ("合同文档", "模板文档").
WriteBack writeBack(const QString &path, const QString &what);

// A window closes without a save of its own, but the office may have saved the document in place: such a change
// is written back, or, when the server refuses or fails, kept aside in Bak/ and the user told where. Never keeps the
// window open.
void writeBackOnClose(const QString &path, const QString &what);

// The message for a document that could not be read from the server.
QString fetchFailedText(const QString &error);

} // namespace DocumentSync
