#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

// The word processor as the template editor and the contract document window drive it: one office
// connection and one open document per object. Every operation reports failure by its result and leaves
// the reason in lastError(); nothing throws.
class WordApp {
public:
    // Hands a text to the system clipboard (the application's Clipboard service); paste() calls it first.
    using ClipboardWriter = std::function<void(const QString &text)>;

    // Where arrange() puts the office window, in points (converted to pixels at 96 dpi).
    static constexpr int kLeft = 80;
    static constexpr int kTop = 0;
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 550;
    static QString caption() { return QStringLiteral("Vantrel"); }

    WordApp() = default;
    virtual ~WordApp();
    WordApp(const WordApp &) = delete;
    WordApp &operator=(const WordApp &) = delete;

    // Starts the office (or reaches the one this object started). False when it cannot be started or reached.
    virtual bool connect() = 0;
    // The office this object uses was started in the background and does not answer yet: connect() would wait
    // for it. A window asks first, so that it can show that it waits instead of freezing.
    virtual bool isStarting() { return false; }
    // Normal window state, visible, caption "Vantrel", then the position and size above. Applies to the open
    // document's window and to every document opened afterwards; a failure to place the window is ignored.
    virtual bool arrange() = 0;
    // Opens a Word 97 document (macros never run); it replaces this object's previous document, which is
    // closed unsaved.
    virtual bool open(const QString &path) = 0;
    virtual bool bringToFront() = 0;
    // Puts text on the clipboard (through the clipboard writer) and inserts the same text at the insertion point.
    virtual bool paste(const QString &text) = 0;
    // Puts before in front of the selection and after behind it (the selection's text stays as it is); without a
    // selection both go in at the insertion point, one after the other.
    virtual bool encloseSelection(const QString &before, const QString &after) = 0;
    // Replaces every occurrence of findText (literal, letter case ignored, also inside words and next to Chinese
    // characters) in the body, tables, headers, footers, text frames and the text of drawing shapes (text boxes,
    // grouped ones too) by replaceWith, taken literally: "&",
    // "$1", "\" and line breaks land as they are. count receives the number of replaced occurrences.
    virtual bool replace(const QString &findText, const QString &replaceWith, int *count = nullptr) = 0;
    // replace() for each pair in turn (so a value holding a later pair's marker is filled too), in one batch
    // that the office neither redraws nor records for undo in between; much quicker for many markers.
    // counts receives one count per pair. Stops at the first failure.
    // Optional clauses of the document ([<如果:指标名>] … [<否则>] … [<结束>]) are settled first by conditions
    // (indicator name -> value without unit), as the in-program fill of a template settles them.
    virtual bool replaceInOrder(const QList<QPair<QString, QString>> &pairs, QList<int> *counts = nullptr,
                                const QHash<QString, QString> &conditions = {}) = 0;
    // Opens a new document made from templatePath with every pair filled in as replaceInOrder() fills them, when
    // this office can do that faster than opening the template and filling it there; the document then stands
    // at a scratch file of the office's own until saveAs(). False, with nothing opened and no error, when it
    // cannot (the caller then opens a copy of the template and fills it).
    virtual bool openPrefilled(const QString &templatePath, const QList<QPair<QString, QString>> &pairs,
                               const QHash<QString, QString> &conditions = {});
    // The OpenDocument copy this office makes of a template (kept in the user's cache, as openPrefilled() uses it),
    // for reading the template's parts; empty when this office makes none.
    virtual QString openDocumentCopyOf(const QString &templatePath);
    // Saves under path (overwriting) in the format its suffix names (.Doc: Word 97); the document then lives
    // at path.
    virtual bool saveAs(const QString &path) = 0;
    // Writes the open document as a PDF at path (fonts embedded, text selectable); the document stays where it is.
    virtual bool exportPdf(const QString &path) = 0;
    // Prints with the office's default printer and settings.
    virtual bool print() = 0;
    // Opens the desktop's mail program with a new message that carries the document.
    virtual bool sendMail() = 0;
    // Closes the document without saving and ends the office; then disconnects.
    virtual bool quit() = 0;
    // Drops the hold on the document and the office; the office is not ended.
    virtual void disconnect() = 0;

    virtual bool isConnected() const = 0;
    virtual bool hasDocument() const = 0;
    // The document has changes that were not saved (by saveAs() or by the office's own Save); false without one.
    virtual bool isModified() = 0;
    // The document's text: body (tables cell by cell), then headers and footers, then text frames; one line per
    // paragraph or cell. For checks and diagnostics.
    virtual std::optional<QString> documentText() = 0;

    QString lastError() const { return mLastError; }
    void setClipboardWriter(ClipboardWriter writer) { mClipboardWriter = std::move(writer); }

protected:
    bool fail(const QString &error);
    void clearError() { mLastError.clear(); }
    void writeClipboard(const QString &text) const;

private:
    QString mLastError;
    ClipboardWriter mClipboardWriter;
};
