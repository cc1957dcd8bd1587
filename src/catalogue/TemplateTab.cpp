#include "catalogue/TemplateTab.h"

#include <QGroupBox>
#include <QVBoxLayout>

TemplateTab::TemplateTab(QWidget *parent)
    : QWidget(parent) {
    GroupBox3 = new QGroupBox(QStringLiteral("文档模板"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    mContent = new QVBoxLayout(GroupBox3);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(GroupBox3);
}

void TemplateTab::showTemplate(const QString &) {}

void TemplateTab::editTemplate(const QString &) {}

void TemplateTab::setGroupCaption(const QString &caption) {
    GroupBox3->setTitle(caption);
}
