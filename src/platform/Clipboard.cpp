#include "platform/Clipboard.h"

namespace {
Clipboard *gClipboard = nullptr;
}

Clipboard::~Clipboard() = default;

Clipboard &Clipboard::instance() {
    static MemoryClipboard memory;
    return gClipboard ? *gClipboard : memory;
}

void Clipboard::setInstance(Clipboard *clipboard) {
    gClipboard = clipboard;
}
