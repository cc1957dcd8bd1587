#include "DocumentTemplateTab.h"

#include "TemplatePage.h"

#include <QAbstractButton>
#include <QVBoxLayout>

DocumentTemplateTab::DocumentTemplateTab(QWidget *parent)
    : TemplateTab(parent)
    , mPage(new TemplatePage(this))
{
    contentLayout()->addWidget(mPage);
    mPage->setEditRequest([this] { viewClicked(); });
}

void DocumentTemplateTab::showTemplate(const QString &categoryCode)
{
    mPage->ReadyModel(categoryCode);
}

void DocumentTemplateTab::editTemplate(const QString &categoryCode)
{
    EditTemplateBesideMainWindow(this, categoryCode);
}

void DocumentTemplateTab::viewClicked()
{
    // A click on the view does what the window's "编辑模板(&E)" does, the re-reading of the tree node included.
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *button = w->findChild<QAbstractButton *>(QStringLiteral("cmdSave"))) {
            button->click();
            return;
        }
    }
    mPage->cmdSaveClick();
}
