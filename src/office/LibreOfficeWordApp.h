#pragma once

#include "office/WordApp.h"

#include <memory>

class SharedOffice;

// WordApp on LibreOffice Writer through its C++ UNO interface. An object starts an office of its own (own profile
// folder and pipe) on connect() and ends it on quit() or destruction, or uses the one office that the program's
// windows share (SharedOffice), each with its own document and frame; documents are loaded with macros switched
// off and with Chinese as their Asian language.
class LibreOfficeWordApp final : public WordApp {
public:
    enum class Display {
        FromEnvironment, // headless when VANTREL_OFFICE_HEADLESS=1, else visible
        Visible,
        Headless,
    };

    // An office of this object's own, ended by quit().
    explicit LibreOfficeWordApp(Display display = Display::FromEnvironment);
    // A document of its own in the shared office, which must outlive this object: quit() closes the document only.
    explicit LibreOfficeWordApp(SharedOffice &office);
    ~LibreOfficeWordApp() override;

    // The documents this office saves and exports are not edited in it again (a batch): written without waiting
    // for the disk to confirm every file and without a preview picture in OpenDocument files.
    void setQuickSave(bool quick);
    bool isStarting() override;

    bool connect() override;
    bool arrange() override;
    bool open(const QString &path) override;
    bool bringToFront() override;
    bool paste(const QString &text) override;
    bool encloseSelection(const QString &before, const QString &after) override;
    bool replace(const QString &findText, const QString &replaceWith, int *count = nullptr) override;
    // A document that holds optional clauses is settled by the program's own fill: the office writes it as
    // OpenDocument, the program fills that, and the office shows the result in its place (counts stay empty).
    bool replaceInOrder(const QList<QPair<QString, QString>> &pairs, QList<int> *counts = nullptr,
                        const QHash<QString, QString> &conditions = {}) override;
    // The template is converted once into an OpenDocument copy kept in the user's cache (made anew when the
    // template changes); that copy is filled in the program, and the office only loads the result. Loading and
    // saving is then all the office does, one search of the whole document instead of one per marker.
    bool openPrefilled(const QString &templatePath, const QList<QPair<QString, QString>> &pairs,
                       const QHash<QString, QString> &conditions = {}) override;
    QString openDocumentCopyOf(const QString &templatePath) override;
    bool saveAs(const QString &path) override;
    bool exportPdf(const QString &path) override;
    bool print() override;
    bool sendMail() override;
    bool quit() override;
    void disconnect() override;
    bool isConnected() const override;
    bool hasDocument() const override;
    std::optional<QString> documentText() override;
    bool isModified() override;

private:
    // What the office tests do to a document and its office that the program never does.
    friend class OfficeTestAccess;

    // replaceInOrder() on a document with optional clauses.
    bool settleThroughPackage(const QList<QPair<QString, QString>> &pairs, const QHash<QString, QString> &conditions);
    // A document to write and a folder with room for it; else false with the reason in lastError().
    bool canWriteDocumentTo(const QString &path);
    // Runs the remote calls of one operation under the office's watchdog; what they throw becomes a failure whose
    // text starts with what.
    template <typename Body> auto guarded(const char *what, Body &&body) -> decltype(body());

    struct Private;
    std::unique_ptr<Private> d;
};
