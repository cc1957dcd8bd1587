#pragma once

#include <QString>

#include <optional>

// Everything the program tells or asks the user goes through this interface: the windows call it, the real
// implementation shows Qt dialogs, and tests script the answers.
//
// The platform services (Messages, Clock, Shell, Clipboard) are reached in one way only: `X::instance()`.
// `QtPlatform::install()` sets the real ones once in main(); a test installs its scripted ones with
// `X::setInstance()` and removes them again. No class takes a service as a constructor or function parameter, so
// there is one place to look for where a message goes. Work that must keep the messages of one task to itself
// (a document made by a batch on a worker thread) redirects them for that thread with `Messages::Redirect`.
class Messages {
public:
    virtual ~Messages();

    // Plain message box captioned with the application title and one OK button.
    virtual void information(const QString &text) = 0;
    // Same box with a warning or error icon, for failures.
    virtual void warning(const QString &text) = 0;
    // Warning question with Yes and No; true for Yes.
    virtual bool question(const QString &text) = 0;
    // Before a changed document is closed: "保存", "不保存" or "取消" (also Esc and the close box).
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice saveQuestion(const QString &text) = 0;
    // Input box; nullopt when cancelled.
    virtual std::optional<QString> inputText(const QString &caption, const QString &prompt,
                                             const QString &initial = QString()) = 0;
    // The password prompt: returns the typed text however it was closed.
    virtual QString passwordPrompt(const QString &caption, const QString &hint) = 0;
    // File dialogs; empty text when cancelled. `filter` uses Qt's "描述 (*.ext)" form.
    virtual QString openFileName(const QString &caption, const QString &folder, const QString &filter) = 0;
    virtual QString saveFileName(const QString &caption, const QString &proposedPath, const QString &filter) = 0;
    // Folder dialog; empty text when cancelled. Without a dialog of its own an implementation answers cancelled.
    virtual QString folderName(const QString &caption, const QString &folder);

    // The redirection of the calling thread if there is one, else the implementation installed for the process.
    static Messages &instance();
    // Installs the implementation for the process; the caller keeps ownership.
    static void setInstance(Messages *messages);

    // While it lives, what the calling thread says or asks goes to `messages` (other threads are not affected).
    class Redirect {
    public:
        explicit Redirect(Messages &messages);
        ~Redirect();
        Redirect(const Redirect &) = delete;
        Redirect &operator=(const Redirect &) = delete;

    private:
        Messages *mPrevious;
    };
};

// The application's title: caption of every message box and of the main window.
inline const QString ApplicationTitle = QStringLiteral("Vantrel");
