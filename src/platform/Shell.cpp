#include "platform/Shell.h"

namespace {
Shell *gShell = nullptr;
}

Shell::~Shell() = default;

Shell &Shell::instance() {
    static RecordingShell inert;
    return gShell ? *gShell : inert;
}

void Shell::setInstance(Shell *shell) {
    gShell = shell;
}
