#pragma once

#include <QString>

class Messages;
class Database;

// The optional login password. The stored value is a salted hash; the empty text and "579" stay as they are
// and mean that no password is asked.
class LoginPassword {
public:
    // True when the stored value means "no password".
    static bool isNone(const QString &stored);
    // The value to store for a newly chosen password.
    static QString toStored(const QString &password);
    // Whether a typed text is the password the stored value stands for (exact, letter case included).
    static bool matches(const QString &stored, const QString &typed);

    // Loads the stored value at start from the database that keeps it; a table that cannot be read leaves no
    // password.
    void load(Database &database);
    bool isSet() const { return !isNone(mStored); }
    const QString &stored() const { return mStored; }
    void setStored(const QString &stored) { mStored = stored; }

    // Login at start: true when the user may go on; on a wrong password the message has been shown.
    bool loginCheck() const;
    // Before restore and rebuild: true when the command may go on.
    bool adminCheck() const;

    enum class ChangeResult {
        Mismatch,   // new and confirmation differ: both fields emptied, dialog stays
        ReadFailed, // parameter row unreadable, dialog stays
        WrongOld,   // old password wrong: old field emptied and focused, dialog stays
        Saved,      // stored and remembered, dialog closes
        SaveFailed, // nothing changed, dialog closes
    };
    // The change dialog's check: compares, stores in the database load() read from and remembers; shows the
    // Messages::instance().
    ChangeResult changePassword(const QString &oldText, const QString &newText, const QString &ensureText);

private:
    Database *mDatabase = nullptr;
    QString mStored;
};
