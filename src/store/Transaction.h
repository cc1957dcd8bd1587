#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <utility>

// Ends a transaction already begun on db: commits when fn returns true, rolls back otherwise or on a failed commit.
// A failure of the commit puts its text into *error; fn reports its own failures.
template <typename Fn> bool finishTransaction(QSqlDatabase db, Fn &&fn, QString *error = nullptr) {
    if (!fn()) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        if (error)
            *error = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

// Runs fn inside one transaction of db; commits when it returns true, rolls back otherwise or on a failed commit.
// A failure of the transaction itself puts its text into *error; fn reports its own failures.
template <typename Fn> bool inTransaction(QSqlDatabase db, Fn &&fn, QString *error = nullptr) {
    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    return finishTransaction(db, std::forward<Fn>(fn), error);
}
