#pragma once

#include <QString>

#include <optional>

class Database;

// The parameter table (TPara): its one row holds the login password, as stored (a hash, or the text of a
// database from before hashing). No row identifier is common to both stores, so the statements address the table.
class ParameterStore {
public:
    explicit ParameterStore(Database &database)
        : mDatabase(database) {}

    struct PasswordRow {
        bool exists = false;
        QString stored;
    };
    // nullopt when the table cannot be read.
    std::optional<PasswordRow> passwordRow() const;
    // The stored password; empty when the table has no row, nullopt when it cannot be read.
    std::optional<QString> password() const;
    // Writes the stored password into the row, or adds the row when there is none yet.
    bool setPassword(const QString &stored, bool rowExists);

private:
    Database &mDatabase;
};
