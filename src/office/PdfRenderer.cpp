#include "office/PdfRenderer.h"

PdfRenderer::~PdfRenderer() = default;

bool PdfRenderer::fail(const QString &error) {
    mLastError = error;
    return false;
}
