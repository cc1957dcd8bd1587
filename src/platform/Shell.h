#pragma once

#include <QString>
#include <QStringList>

// Hands pages and programs to the desktop: the browser or file viewer for a page, a new process for a program.
// Results are not examined by the callers.
class Shell {
public:
    virtual ~Shell();
    // A web address or a local file path.
    virtual bool openPage(const QString &addressOrPath) = 0;
    virtual bool startProgram(const QString &program, const QStringList &arguments = {}) = 0;

    static Shell &instance();
    static void setInstance(Shell *shell);
};

// Records what would have been opened; starts nothing.
class RecordingShell : public Shell {
public:
    bool openPage(const QString &addressOrPath) override {
        mPages << addressOrPath;
        return true;
    }
    bool startProgram(const QString &program, const QStringList &arguments) override {
        mPrograms << (arguments.isEmpty() ? program : program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
        return true;
    }
    QStringList mPages;
    QStringList mPrograms;
};
