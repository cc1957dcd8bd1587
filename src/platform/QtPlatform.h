#pragma once

#include "platform/Clipboard.h"
#include "platform/Shell.h"

// The desktop's own opener (xdg-open) for pages, and detached processes for programs.
class QtShell : public Shell {
public:
    bool openPage(const QString &addressOrPath) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
};

class QtClipboard : public Clipboard {
public:
    void setText(const QString &text) override;
    QString text() const override;
};

namespace QtPlatform {
// Installs the Qt implementations of messages, shell and clipboard and loads Qt's Chinese translations.
void install();
} // namespace QtPlatform
