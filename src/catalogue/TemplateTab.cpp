#include "catalogue/TemplateTab.h"

#include <QGroupBox>
#include <QVBoxLayout>

TemplateTab::TemplateTab(QWidget *parent)
    : QWidget(parent) {
    templateBox = new QGroupBox(QStringLiteral("文档模板"), this);
    templateBox->setObjectName(QStringLiteral("templateBox"));
    mContent = new QVBoxLayout(templateBox);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(templateBox);
}

void TemplateTab::showTemplate(const QString &) {}

void TemplateTab::editTemplate(const QString &) {}

void TemplateTab::setGroupCaption(const QString &caption) {
    templateBox->setTitle(caption);
}
