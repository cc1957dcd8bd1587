#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// Builds Word 97 test documents with a headless office at test time, so no binary fixtures are committed.
struct DocFixture {
    QStringList paragraphs;   // body, one paragraph each
    QList<QStringList> table; // a table after the paragraphs, row by row (empty: none)
    QString header;           // page header of the default page style (empty: none)
    QString footer;
    QString frame; // text of a text frame anchored in the body (empty: none)
    // Text boxes as a word processor's "Insert → Text Box" draws them: shapes with text of their own.
    QString textBox;              // one, anchored in the body (empty: none)
    QStringList groupedTextBoxes; // several, grouped into one drawing (empty: none)
};

// Keeps one headless office for all the fixtures a test writes.
class DocFixtureWriter {
public:
    DocFixtureWriter();
    ~DocFixtureWriter();
    DocFixtureWriter(const DocFixtureWriter &) = delete;
    DocFixtureWriter &operator=(const DocFixtureWriter &) = delete;

    bool write(const QString &path, const DocFixture &content, QString *error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// One fixture with an office of its own.
bool writeDocFixture(const QString &path, const DocFixture &content, QString *error);
