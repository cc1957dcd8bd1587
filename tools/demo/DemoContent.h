#pragma once

#include <QString>

class Database;

// The demo a newcomer finds on first start: one root and one child category (a house lease), indicators with pick
// lists, history, units, masks, an arithmetic formula, capital-amount and Chinese-date formulas, a numbering formula,
// required and sort fields, the category's template document with their markers, and a few contracts.
namespace DemoContent {

inline const QString RootCode = QStringLiteral("0001");
inline const QString ChildCode = QStringLiteral("00010001");

enum class Result { Installed, Skipped, Failed };

// Installs into the database and its application folder. Skipped when the database already holds a
// category; nothing is changed then.
Result install(Database &database, QString *message);

} // namespace DemoContent
