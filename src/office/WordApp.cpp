#include "office/WordApp.h"

WordApp::~WordApp() = default;

QString WordApp::openDocumentCopyOf(const QString &) {
    return {};
}

bool WordApp::openPrefilled(const QString &, const QList<QPair<QString, QString>> &, const QHash<QString, QString> &) {
    return false;
}

bool WordApp::fail(const QString &error) {
    mLastError = error;
    return false;
}

void WordApp::writeClipboard(const QString &text) const {
    if (mClipboardWriter)
        mClipboardWriter(text);
}
