#pragma once

#include <memory>

class OfficeInstance;

// The one word-processing office the program's windows share (the contract documents, the template editor, the
// template view), each window with a document and frame of its own. Its owner (the composition root, or a tool's
// main) keeps it longer than every LibreOfficeWordApp and OfficePdfRenderer made on it, and installs
// OfficeProcesses' exit guards; the office ends when this object goes, or with the program however it ends.
class SharedOffice {
public:
    // Headless when VANTREL_OFFICE_HEADLESS=1, else visible.
    SharedOffice();
    ~SharedOffice();
    SharedOffice(const SharedOffice &) = delete;
    SharedOffice &operator=(const SharedOffice &) = delete;

    // Starts the office and returns at once, so that it is ready when the first window needs it.
    void startInBackground();

private:
    friend class LibreOfficeWordApp;
    friend class OfficePdfRenderer;
    std::unique_ptr<OfficeInstance> mOffice;
};
