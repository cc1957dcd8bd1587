#include "app/Composition.h"

#include "app/admin/AdminCommands.h"
#include "app/admin/ServerConnectionDialog.h"
#include "catalogue/IndicatorEditorDialog.h"
#include "catalogue/IndicatorSelectDialog.h"
#include "catalogue/TemplateManagerWindow.h"
#include "contracts/ChangeHistoryWindow.h"
#include "contracts/ContractRecordModel.h"
#include "contracts/ContractRegisterWindow.h"
#include "contracts/DueReminderWindow.h"
#include "contracts/DueReminders.h"
#include "documents/ui/DocumentTemplateTab.h"
#include "documents/ui/DocumentsEntry.h"
#include "exchange/export/GridExport.h"
#include "exchange/import/ImportDialog.h"
#include "exchange/preview/GridContent.h"
#include "exchange/preview/PrintPreviewWindow.h"
#include "office/LibreOfficeSheetApp.h"
#include "office/LibreOfficeWordApp.h"
#include "office/OfficePdfRenderer.h"
#include "office/OfficeProcesses.h"
#include "office/SharedOffice.h"
#include "platform/Clock.h"
#include "store/Database.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

namespace {

// What the register's grid shows, for the print preview and the export: its columns with their widths and every
// listed record.
GridContent gridContent(const QTableView *grid, const ContractRecordModel *records) {
    GridContent content;
    content.isOpen = records->isOpen();
    content.rowHeight = grid->verticalHeader()->defaultSectionSize();
    const QList<ContractRecordModel::Column> &columns = records->columns();
    for (int c = 0; c < columns.size(); ++c) {
        GridColumn column;
        column.title = columns.at(c).title;
        column.fieldName = columns.at(c).field;
        column.width = grid->columnWidth(c);
        column.alignment = columns.at(c).alignment & Qt::AlignHorizontal_Mask;
        column.visible = !grid->isColumnHidden(c);
        content.columns.append(column);
    }
    content.rows.reserve(records->recordCount());
    for (int r = 0; r < records->recordCount(); ++r) {
        QStringList row;
        row.reserve(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            row.append(records->text(r, c));
        content.rows.append(row);
    }
    return content;
}

// What any read-only grid shows, by its model's headers and display texts.
GridContent gridContent(const QTableView *grid) {
    GridContent content;
    const QAbstractItemModel *model = grid->model();
    content.rowHeight = grid->verticalHeader()->defaultSectionSize();
    for (int c = 0; c < model->columnCount(); ++c) {
        GridColumn column;
        column.title = model->headerData(c, Qt::Horizontal).toString();
        column.width = grid->columnWidth(c);
        column.visible = !grid->isColumnHidden(c);
        content.columns.append(column);
    }
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model->columnCount(); ++c)
            row.append(model->index(r, c).data().toString());
        content.rows.append(row);
    }
    return content;
}

DueReminderServices dueReminderServices() {
    DueReminderServices services;
    services.sendGridToExcel = [](const QString &title, QTableView *grid) {
        sendGridToSpreadsheet([] { return std::make_unique<LibreOfficeSheetApp>(); }, title, gridContent(grid));
    };
    return services;
}

} // namespace

Composition::Composition(std::unique_ptr<Database> database)
    : Composition(*database) {
    mOwnedDatabase = std::move(database);
}

Composition::Composition(Database &database)
    : mDatabase(database)
    , mOffice(std::make_unique<SharedOffice>())
    , mRenderer(std::make_unique<OfficePdfRenderer>(*mOffice))
    , mDocuments(
          database, [this] { return std::make_unique<LibreOfficeWordApp>(*mOffice); },
          // A batch's documents are not edited in its offices again.
          [] {
              auto word = std::make_unique<LibreOfficeWordApp>(LibreOfficeWordApp::Display::Headless);
              word->setQuickSave(true);
              return word;
          },
          *mRenderer,
          // Opened over the editor's tool window, which stays on top of everything else.
          [this](const QString &table, const QString &categoryCode, int id) {
              return EditIndicatorName(mDatabase, table, categoryCode, id, QApplication::activeWindow());
          },
          [this](const QString &categoryCode, QString *name) {
              return SelectIndicator(mDatabase, categoryCode, name, QApplication::activeWindow());
          }) {
    // No office the program starts may outlive it, however it ends.
    OfficeProcesses::installExitGuards();
}

Composition::~Composition() = default;

TemplateTab::Factory Composition::templateTab() {
    return [this](QWidget *parent) -> TemplateTab * { return new DocumentTemplateTab(mDocuments, parent); };
}

ContractRegisterServices Composition::contractMagServices() {
    const auto editDocument = [this](const QString &category, const QString &documentPath, int recordId) {
        return openContractDocument(mDocuments, category, documentPath, recordId);
    };
    const auto generateDocuments = [this](const QList<int> &recordIds, QWidget *parent) {
        GenerateDocuments(mDocuments, recordIds, parent);
    };
    const auto loadIn = [this](const QString &category) { return importContracts(mDatabase, category); };
    const auto preview = [](const QString &title, QTableView *grid) {
        auto *records = qobject_cast<ContractRecordModel *>(grid->model());
        return records ? previewGrid(title, gridContent(grid, records), grid->window()) : false;
    };
    const auto sendToSpreadsheet = [](const QString &title, QTableView *grid) {
        auto *records = qobject_cast<ContractRecordModel *>(grid->model());
        if (!records) {
            // Other lists (the history) go over as their cells show.
            sendGridToSpreadsheet([] { return std::make_unique<LibreOfficeSheetApp>(); }, title, gridContent(grid));
            return;
        }
        // The list is left on the record the export ended with, as the spreadsheet shows it last.
        sendGridToSpreadsheet([] { return std::make_unique<LibreOfficeSheetApp>(); }, title, gridContent(grid, records),
                              [grid, records](int row) { grid->setCurrentIndex(records->index(row, 0)); });
    };
    const auto openReminders = [this](QMdiArea *area) {
        return ::openDueReminders(area, database(), dueReminderServices());
    };
    return {editDocument, generateDocuments, loadIn, preview, sendToSpreadsheet, openReminders};
}

MainCommands Composition::mainCommands() {
    MainCommands c;
    c.database = &mDatabase;
    c.openTemplateManagerWindow = [this](QMdiArea *area) {
        return openTemplateManagerWindow(area, mDatabase, templateTab());
    };
    c.openContractRegisterWindow = [this](QMdiArea *area) {
        return openContractRegisterWindow(area, database(), contractMagServices());
    };
    c.OpenDueReminders = [this](QMdiArea *area) { return openDueReminders(area, database(), dueReminderServices()); };
    c.countDueContracts = [this] {
        DueReminders reminders(database());
        return reminders.load(Clock::instance().now().date()) ? reminders.contractsDue() : 0;
    };
    c.backup = [this] { BackupDatabase(mDatabase); };
    c.restore = [this](const std::function<bool()> &check, const std::function<void()> &end, const QString &archive) {
        RestoreDatabase(mDatabase, check, end, archive);
    };
    c.rebuild = [this](QWidget *parent, const std::function<void()> &closeChildren) {
        ShowRebuild(parent, mDatabase, closeChildren);
    };
    c.serverConnection = [this](QWidget *parent) { ShowServerConnection(parent, mDatabase.appFolder()); };
    c.changeHistory = [this](QWidget *parent) {
        showChangeHistory(mDatabase, parent, contractMagServices().sendGridToExcel);
    };
    c.openHelp = [this](QWidget *parent) { OpenHelpPage(parent, mDatabase.appFolder()); };
    c.openTutorial = [this](QWidget *parent) { OpenTutorialPage(parent, mDatabase.appFolder()); };
    c.sampleSites = SampleSites();
    c.openSample = [](int index) { OpenSampleSite(index); };
    c.startUpdater = [] { StartUpdater(); };
    c.webAddress = ProductWebAddress();
    return c;
}

void Composition::afterMainWindowShown() {
    // Once the main window has been drawn, so that the office's start does not hold it up.
    QTimer::singleShot(300, &mStartContext, [this] { mOffice->startInBackground(); });
}
