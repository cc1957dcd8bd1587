#include "AppCommands.h"

#include <QTimer>

#ifdef VANTREL_HAVE_CATALOGUE_UI
#include "TfrmContractModel.h"
#endif
#ifdef VANTREL_HAVE_CONTRACTS_UI
#include "TfrmContractMag.h"
#endif
#ifdef VANTREL_HAVE_ADMIN
#include "AdminCommands.h"
#endif
#ifdef VANTREL_HAVE_DOCUMENTS_UI
#include "DocumentsEntry.h"
#include "OfficeProcesses.h"
#endif

void installSubsystemHooks()
{
#ifdef VANTREL_HAVE_DOCUMENTS_UI
    InstallDocumentHooks();
    // No office the program starts may outlive it, however it ends.
    OfficeProcesses::installExitGuards();
#endif
}

void afterMainWindowShown()
{
#ifdef VANTREL_HAVE_DOCUMENTS_UI
    // Once the main window has been drawn, so that the office's start does not hold it up.
    QTimer::singleShot(300, [] { StartOfficeInBackground(); });
#endif
}

MainCommands appCommands()
{
    MainCommands c;
#ifdef VANTREL_HAVE_CATALOGUE_UI
    c.OpenContractModel = [](QMdiArea *area) { return OpenContractModel(area); };
#endif
#ifdef VANTREL_HAVE_CONTRACTS_UI
    c.OpenContractMag = [](QMdiArea *area) { return OpenContractMag(area); };
#endif
#ifdef VANTREL_HAVE_ADMIN
    c.backup = [] { BackupDatabase(); };
    c.restore = [](const std::function<bool()> &check, const std::function<void()> &end, const QString &archive) {
        RestoreDatabase(check, end, archive);
    };
    c.rebuild = [](QWidget *parent, const std::function<void()> &closeChildren) { ShowRebuild(parent, closeChildren); };
    c.openHelp = [](QWidget *parent) { OpenHelpPage(parent); };
    c.openTutorial = [](QWidget *parent) { OpenTutorialPage(parent); };
    c.sampleSites = SampleSites();
    c.openSample = [](int index) { OpenSampleSite(index); };
    c.startUpdater = [] { StartUpdater(); };
    c.webAddress = ProductWebAddress();
#endif
    return c;
}
