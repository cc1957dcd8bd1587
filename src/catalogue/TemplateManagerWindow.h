#pragma once

#include "catalogue/TemplateTab.h"

#include "catalogue/CategoryCommands.h"
#include "catalogue/IndicatorCommands.h"

#include <QWidget>

class CategoryTreeView;
class Database;
class QLabel;
class QMdiArea;
class QPushButton;
class QTableView;
class QTabWidget;
class TemplateTab;

// The template management window: the category tree on the left; on the right the template page and the
// indicator page of the child category last clicked.
class TemplateManagerWindow : public QWidget {
    Q_OBJECT

public:
    // templateTab makes the page of the template tab (the documents subsystem's view); empty: a plain page.
    explicit TemplateManagerWindow(Database &database, const TemplateTab::Factory &templateTab = {},
                                   QWidget *parent = nullptr);

    // Builds the tree; false (after the message) when the categories cannot be read.
    bool loadTree();
    // Shows the category's template and loads its indicators.
    void openCategory(const QString &categoryCode);

    CategoryCommands *categories() { return &mCategories; }
    IndicatorCommands *indicators() { return &mIndicators; }
    TemplateTab *templateTab() const { return mTemplateTab; }
    QString currentCode() const { return mCategories.currentCode(); }

    // The tree's selected node was clicked.
    void showSelected();
    // "编辑模板": the selected child category's template in the editor.
    void editTemplate();
    void closeWindow();

private:
    QWidget *makeIndicatorPage();
    void hidePages();
    void showCategory(const QString &typeCode, const QString &caption);

    Database &mDatabase;
    CategoryCommands mCategories;
    IndicatorCommands mIndicators;
    CategoryTreeView *Tree = nullptr;
    QLabel *lblPrompt = nullptr;
    QTabWidget *pages = nullptr;
    TemplateTab *mTemplateTab = nullptr;
    QWidget *indicatorPage = nullptr;
    QTableView *indicatorGrid = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *closeButton = nullptr;
};

// Opens the template management window maximized in the area. False (nothing shown) when the categories cannot
// be read. Keeping to one window is the caller's part.
bool openTemplateManagerWindow(QMdiArea *area, Database &database, const TemplateTab::Factory &templateTab);
