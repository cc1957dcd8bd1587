#pragma once

#include "office/PdfRenderer.h"

#include <memory>

class SharedOffice;

// PdfRenderer on a headless LibreOffice of its own, started on first use and ended with this object, or on the
// office the program's windows share (documents loaded hidden there).
// PDFs are kept in a cache folder under a name made of the document's path, modification time and size, so
// showing an unchanged document again costs only a file lookup.
class OfficePdfRenderer final : public PdfRenderer {
public:
    // cacheFolder empty: a folder below the user's cache location.
    explicit OfficePdfRenderer(const QString &cacheFolder = QString());
    // On the shared office, which must outlive this object.
    explicit OfficePdfRenderer(SharedOffice &office, const QString &cacheFolder = QString());
    ~OfficePdfRenderer() override;

    bool pdfFor(const QString &documentPath, QString *pdfPath) override;
    bool isStarting() override;

    QString cacheFolder() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
