#include "documents/ui/DocumentTemplateTab.h"

#include "documents/DocumentPaths.h"
#include "documents/TemplateImport.h"
#include "documents/ui/DocumentsEntry.h"
#include "documents/ui/TemplatePage.h"
#include "platform/Messages.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

DocumentTemplateTab::DocumentTemplateTab(const DocumentServices &services, QWidget *parent)
    : TemplateTab(parent)
    , mServices(services)
    , mPage(new TemplatePage(services, this)) {
    contentLayout()->addWidget(mPage);
    mPage->setEditRequest([this] { viewClicked(); });

    auto *importButton = new QPushButton(QStringLiteral("导入模板文件"), this);
    importButton->setObjectName(QStringLiteral("importTemplateButton"));
    importButton->setToolTip(QStringLiteral("把已有的 Word 文档（.doc、.docx）或 .odt 文档作为本类合同的模板"));
    auto *checkButton = new QPushButton(QStringLiteral("检查模板"), this);
    checkButton->setObjectName(QStringLiteral("checkTemplateButton"));
    checkButton->setToolTip(QStringLiteral("列出模板中没有对应指标的标记、没有使用的指标和不完整的标记"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(importButton);
    buttons->addWidget(checkButton);
    buttons->addStretch();
    contentLayout()->addLayout(buttons);
    connect(importButton, &QPushButton::clicked, this, &DocumentTemplateTab::importTemplate);
    connect(checkButton, &QPushButton::clicked, this,
            [this] { CheckTemplate(mServices, mPage->categoryCode(), false); });
}

void DocumentTemplateTab::importTemplate() {
    const QString code = mPage->categoryCode();
    if (TemplateImport::run(code))
        mPage->showTemplate(code);
}

void DocumentTemplateTab::showTemplate(const QString &categoryCode) {
    mPage->showTemplate(categoryCode);
}

void DocumentTemplateTab::editTemplate(const QString &categoryCode) {
    const auto state = [&categoryCode] {
        const QFileInfo info(DocumentPaths::existingTemplate(categoryCode));
        return std::pair(info.exists() ? info.lastModified() : QDateTime(), info.exists() ? info.size() : -1);
    };
    const auto before = state();
    EditTemplateBesideMainWindow(mServices, this, categoryCode);
    // Saved by the editor: checked at once, said only when something is wrong.
    if (state() != before)
        CheckTemplate(mServices, categoryCode, true);
}

void DocumentTemplateTab::viewClicked() {
    // A click on the view does what the window's "编辑模板(&E)" does, the re-reading of the tree node included.
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *button = w->findChild<QAbstractButton *>(QStringLiteral("cmdSave"))) {
            button->click();
            return;
        }
    }
    mPage->editTemplate();
}
