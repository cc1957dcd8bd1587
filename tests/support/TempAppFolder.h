#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh application folder in a temporary directory: the real database file with every table, the document
// folders, and the data module pointed at it. Destroying it closes the module and removes the folder.
class TempAppFolder {
public:
    // With `open` false the folder is laid out but no data module is created.
    explicit TempAppFolder(bool open = true);
    ~TempAppFolder();

    bool isValid() const { return mValid; }
    QString path() const;
    QString file(const QString &relative) const;

    // Small fixtures: a root and a child category, and indicators given as (name, type, DataFieldA).
    bool addCategory(const QString &code, const QString &name, const QString &parent = QString());
    int addIndicator(const QString &category, const QString &name, int type, const QString &column, int sortIdx,
                     const QString &calc = QString(), const QString &format = QString(),
                     const QString &unit = QString());
    // Executes a statement with bound values; QFAIL-style failure is the caller's (returns false).
    bool exec(const QString &sql, const QVariantList &binds = {});
    QString scalar(const QString &sql, const QVariantList &binds = {});

private:
    QTemporaryDir mDir;
    bool mValid = false;
};
