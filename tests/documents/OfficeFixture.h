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

class LibreOfficeWordApp;

// What the office tests do to a word processor's office that the program itself never does: crash it, hang it,
// or save the document with the office's own Save. A friend of the office classes, defined only here.
class OfficeTestAccess {
public:
    // Ends the office process abruptly and keeps the references, as a crash of the office would leave them.
    static void killOffice(LibreOfficeWordApp &word);
    // Stops the office process, so that every call to it hangs as with a hung office.
    static void freezeOffice(LibreOfficeWordApp &word);
    // The office's own Save (as Ctrl+S does it), which writes the document where it was opened from; false with
    // the reason in word.lastError().
    static bool saveInPlace(LibreOfficeWordApp &word);
};
