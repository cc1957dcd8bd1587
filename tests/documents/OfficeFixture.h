#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Builds Word 97 test documents with a headless office at test time, so no binary fixtures are committed.
struct DocFixture
{
    QStringList paragraphs;   // body, one paragraph each
    QList<QStringList> table; // a table after the paragraphs, row by row (empty: none)
    QString header;           // page header of the default page style (empty: none)
    QString footer;
    QString frame;            // text of a text frame anchored in the body (empty: none)
};

bool writeDocFixture(const QString &path, const DocFixture &content, QString *error);
