#include "office/SheetApp.h"

SheetApp::~SheetApp() = default;

bool SheetApp::fail(const QString &error) {
    mLastError = error;
    return false;
}
