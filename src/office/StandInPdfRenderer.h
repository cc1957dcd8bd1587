#pragma once

#include "office/PdfRenderer.h"

#include <QStringList>

// A PdfRenderer for tests: answers with a fixed PDF file (or fails) and records the documents asked for.
class StandInPdfRenderer final : public PdfRenderer {
public:
    // pdfPath empty: every request fails.
    explicit StandInPdfRenderer(const QString &pdfPath = QString())
        : mPdfPath(pdfPath) {}

    bool pdfFor(const QString &documentPath, QString *pdfPath) override {
        clearError();
        mRequests << documentPath;
        if (mPdfPath.isEmpty())
            return fail(QStringLiteral("模拟的显示错误"));
        *pdfPath = mPdfPath;
        return true;
    }

    QStringList requests() const { return mRequests; }

private:
    QString mPdfPath;
    QStringList mRequests;
};
