#include "DocumentTemplateTab.h"

#include "Messages.h"
#include "TemplateImport.h"
#include "TemplatePage.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

DocumentTemplateTab::DocumentTemplateTab(QWidget *parent)
    : TemplateTab(parent)
    , mPage(new TemplatePage(this))
{
    contentLayout()->addWidget(mPage);
    mPage->setEditRequest([this] { viewClicked(); });

    auto *importButton = new QPushButton(QStringLiteral("导入模板文件"), this);
    importButton->setObjectName(QStringLiteral("importTemplateButton"));
    importButton->setToolTip(QStringLiteral("把已有的 Word 文档（.doc、.docx）或 .odt 文档作为本类合同的模板"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(importButton);
    buttons->addStretch();
    contentLayout()->addLayout(buttons);
    connect(importButton, &QPushButton::clicked, this, &DocumentTemplateTab::importTemplate);
}

void DocumentTemplateTab::importTemplate()
{
    const QString code = mPage->categoryCode();
    if (TemplateImport::run(code, Messages::instance()))
        mPage->ReadyModel(code);
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
