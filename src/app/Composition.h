#pragma once

#include "app/MainWindow.h"
#include "catalogue/TemplateTab.h"
#include "contracts/ContractRegisterServices.h"
#include "documents/ui/DocumentServices.h"

#include <QObject>

#include <memory>

class Database;
class PdfRenderer;
class SharedOffice;

// The composition root: the one place where the program's parts are made and joined. It owns the concrete
// services (the office the windows share, the renderer of the template view, the catalogue's indicator dialogs)
// and hands each window what it needs through its constructor: the main window its commands, the register the
// document windows, import, preview and export, the template management window the documents subsystem's template
// page. A test makes a Composition too and puts its stand-ins into documents() before it opens a window.
class Composition {
public:
    // Owns the program's database, opened before the composition is made.
    explicit Composition(std::unique_ptr<Database> database);
    // Works on a database someone else owns (a test's application folder).
    explicit Composition(Database &database);
    ~Composition();
    Composition(const Composition &) = delete;
    Composition &operator=(const Composition &) = delete;

    // The one database of the program.
    Database &database() { return mDatabase; }

    // What the main window's commands open and run.
    MainCommands mainCommands();
    // What the contract register reaches in other subsystems.
    ContractRegisterServices contractMagServices();
    // The template management window's template page.
    TemplateTab::Factory templateTab();
    // The services of the documents subsystem's windows; windows made later see what is changed here.
    DocumentServices &documents() { return mDocuments; }

    // Once the main window is on screen: the office the document windows share starts in the background, so that
    // the first document does not wait for it.
    void afterMainWindowShown();

private:
    std::unique_ptr<Database> mOwnedDatabase;
    Database &mDatabase;
    // Declared first: every window's document and the renderer go before the office they live in.
    std::unique_ptr<SharedOffice> mOffice;
    std::unique_ptr<PdfRenderer> mRenderer;
    DocumentServices mDocuments;
    // The context of the office's delayed start: a start not run yet goes with the composition.
    QObject mStartContext;
};
