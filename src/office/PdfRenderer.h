#pragma once

#include <QString>

// Turns a document into a PDF file for a read-only view of its real layout.
class PdfRenderer {
public:
    PdfRenderer() = default;
    virtual ~PdfRenderer();
    PdfRenderer(const PdfRenderer &) = delete;
    PdfRenderer &operator=(const PdfRenderer &) = delete;

    // Sets pdfPath to a PDF of the document at documentPath. False (and lastError()) when the document is
    // missing or cannot be rendered.
    virtual bool pdfFor(const QString &documentPath, QString *pdfPath) = 0;
    // The office behind the renderer was started in the background and does not answer yet; pdfFor() would
    // wait for it.
    virtual bool isStarting() { return false; }

    QString lastError() const { return mLastError; }

protected:
    bool fail(const QString &error);
    void clearError() { mLastError.clear(); }

private:
    QString mLastError;
};
