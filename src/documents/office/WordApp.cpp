#include "WordApp.h"

WordApp::~WordApp() = default;

bool WordApp::fail(const QString &error) {
    mLastError = error;
    return false;
}

void WordApp::writeClipboard(const QString &text) const {
    if (mClipboardWriter)
        mClipboardWriter(text);
}
