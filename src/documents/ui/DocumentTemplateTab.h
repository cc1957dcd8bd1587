#pragma once

#include "catalogue/TemplateTab.h"
#include "documents/ui/DocumentServices.h"

class TemplatePage;

// The template management window's template page with the document view of this subsystem: the category's
// template shown read-only, and the template editor behind "编辑模板(&E)" and a click on the view.
class DocumentTemplateTab : public TemplateTab {
    Q_OBJECT

public:
    explicit DocumentTemplateTab(const DocumentServices &services, QWidget *parent = nullptr);

    void showTemplate(const QString &categoryCode) override;
    void editTemplate(const QString &categoryCode) override;

    TemplatePage *page() const { return mPage; }

private:
    void viewClicked();
    // "导入模板文件": the category's template replaced by a document the user picks, then shown.
    void importTemplate();

    const DocumentServices &mServices;
    TemplatePage *mPage = nullptr;
};
